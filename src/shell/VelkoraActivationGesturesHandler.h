// The sidebar's activation gestures, as the feature screens see them. The sidebar installs a handler on
// the session object; until it does, there is none and screens leave the gestures alone.
#pragma once

namespace velkora {

class VelkoraActivationGesturesHandler {
public:
    virtual ~VelkoraActivationGesturesHandler() = default;
    // Takes the gestures up again unless the host paused them.
    virtual void resumeIfUserAllows() = 0;
};

} // namespace velkora
