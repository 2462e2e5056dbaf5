// The quiz play screen's registration with VelkoraScreenRegistry.
#pragma once

namespace velkora {

// "quiz": with a quiz id (object 1) the play screen; without one the quiz home ("quizHome"), when this
// build has it.
void registerQuizPlayScreens();

} // namespace velkora
