// The activation ribbon: the activation button's badge and icon on a ribbon body, in one layout whatever
// the orientation.
#pragma once

#include "shell/VelkoraActivationView.h"

namespace velkora {

class VelkoraActivationRibonView : public VelkoraActivationView {
public:
    static constexpr const char* kInterface = "VelkoraActivationRibonView";

    static std::shared_ptr<VelkoraActivationRibonView> create();
    const char* className() const override { return "VelkoraActivationRibonView"; }
    void loadNib() override;
    void resetFrame(bool /*landscape*/) override {}
};

} // namespace velkora
