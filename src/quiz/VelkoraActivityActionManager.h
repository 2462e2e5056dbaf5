// The kit's own actions of feed posts. A post's action id that begins with "velkora-" names an action of
// the kit ("velkora-quiz-7": open the quiz home for quiz 7); the feed table offers every tapped action
// here first and hands what this declines to the host.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "session/VelkoraKitObjects.h"

namespace velkora {

namespace ui {
class TableViewCell;
class ViewController;
} // namespace ui

class VelkoraActivityActionManager : public VelkoraActivityActionHandler {
public:
    static constexpr const char* kActionPrefix = "velkora-";
    static constexpr const char* kQuizAction = "quiz";

    static std::shared_ptr<VelkoraActivityActionManager> instance();

    // True when the action belonged to the kit, whatever came of it; false when the host should get it.
    bool handleActionOfActivity(ui::TableViewCell& cell, ui::ViewController* fromVC) override;
    // The action without its prefix: a name, optionally followed by "-" and an argument.
    void performActivityAction(const std::string& action, ui::ViewController* vc);
    void openQuiz(int32_t quizId, ui::ViewController* vc);

    // The action id of a feed cell's post; "" for any other cell or a post without one.
    static std::string actionIdOfCell(const ui::TableViewCell& cell);

private:
    VelkoraActivityActionManager() = default;
};

} // namespace velkora
