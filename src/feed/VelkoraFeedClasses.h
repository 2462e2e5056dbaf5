// The feed's view classes, by the names its interface files use.
#pragma once

namespace velkora {

// Registers the like and comment buttons and the seven feed cells with the interface loader (and the
// shared widgets they are made of); calling it again changes nothing.
void registerVelkoraFeedClasses();

} // namespace velkora
