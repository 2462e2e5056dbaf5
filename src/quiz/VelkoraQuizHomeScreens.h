// The quiz home, the quiz list with its unlock popup and the coin store: the classes their interface
// files name, the "quizHome" maker, and the few helpers the three screens share.
#pragma once

#include <string>

#include "platform/foundation/Error.h"

namespace velkora {

void registerQuizHomeScreens();

namespace quizhome {

// A text of the strings table.
std::string text(const char* key);
// The interface file of a screen: the "iPad_" variant on a tablet.
std::string interfaceName(const std::string& name);
// Cheap when done already; whatever loads one of these screens' files calls it first, since the loader's
// reset forgets the classes.
void registerViewClasses();
// A notice over everything that closes itself; the log keeps what the person was told.
void showToast(const std::string& message);
// The notice for a request that failed: no network when the connection failed, else `otherwiseKey`.
void showFailureToast(const foundation::ErrorPtr& error, const char* otherwiseKey);

} // namespace quizhome

} // namespace velkora
