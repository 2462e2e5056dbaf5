// Where the social room's own pieces (the friends fetchers) find the social networks' connectors. The
// session makes the connectors and says how they are found; until it has, there are none.
#pragma once

#include <memory>

namespace velkora {

class VelkoraFBConnector;
class VelkoraTwitterConnector;

class VelkoraSocialConnectors {
public:
    struct Source {
        std::shared_ptr<VelkoraFBConnector> (*facebook)() = nullptr;
        std::shared_ptr<VelkoraTwitterConnector> (*twitter)() = nullptr;
    };
    static void setSource(Source source);
    static std::shared_ptr<VelkoraFBConnector> facebook();
    static std::shared_ptr<VelkoraTwitterConnector> twitter();

    VelkoraSocialConnectors() = delete;
};

} // namespace velkora
