// Shrinking a multi-line label's font until its text fits the label.
#pragma once

#include "platform/ui/Label.h"

namespace velkora {

// Steps the font down one point at a time, from its size to its size times the label's minimum scale
// factor, and keeps the first size whose wrapped text is no taller than the label (the smallest tried
// when none is). Sizes stay above zero.
void adjustFontSizeToFit(ui::Label& label);

} // namespace velkora
