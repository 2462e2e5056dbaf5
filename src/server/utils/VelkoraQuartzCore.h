// What the kit reaches of the optional "QuartzCore" framework: the shape of its class descriptors, its 3-D
// transform, and the rotation wrapper. Without the framework the rotation is the identity and the classes
// are null, so whatever turns or pulses stays still.
#pragma once

#include "platform/ui/Geometry.h"

extern "C" {

// What the framework exports under "OBJC_CLASS_$_<name>" for each of its classes.
struct VelkoraQuartzCoreClass {
    const char* name;
    const char* superclassName;
    double defaultDuration; // what an animation of the class lasts until told otherwise
};

// Row vectors: a point p becomes p * M.
struct CATransform3D {
    double m11, m12, m13, m14;
    double m21, m22, m23, m24;
    double m31, m32, m33, m34;
    double m41, m42, m43, m44;
};

// The framework's "CATransform3DMakeRotation"; the identity when the framework is missing.
CATransform3D VelkoraDFL_CATransform3DMakeRotation(double angle, double x, double y, double z);
}

namespace velkora {

inline constexpr const char* kQuartzCoreFramework = "QuartzCore";

// The framework's class of that name, or null.
const VelkoraQuartzCoreClass* loadQuartzCoreClass(const char* className);

// The part of a 3-D transform that acts in the plane, as a view's transform holds it.
ui::AffineTransform affineTransformOf(const CATransform3D& t);

} // namespace velkora
