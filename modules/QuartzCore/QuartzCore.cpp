// Layer animations and 3-D transforms: the animation classes the kit looks up by name, and the rotation
// it builds the turned arrow from. The classes only describe themselves (name, superclass and the
// duration an animation has until told otherwise); the layers that run the animations belong to the ui
// layer.
#include <cmath>

#define VELKORA_MODULE_EXPORT extern "C" __attribute__((visibility("default")))

extern "C" {

struct VelkoraQuartzCoreClass {
    const char* name;
    const char* superclassName;
    double defaultDuration;
};

struct CATransform3D {
    double m11, m12, m13, m14;
    double m21, m22, m23, m24;
    double m31, m32, m33, m34;
    double m41, m42, m43, m44;
};
}

namespace {
constexpr double kDefaultDuration = 0.25;
}

VELKORA_MODULE_EXPORT const VelkoraQuartzCoreClass OBJC_CLASS_$_CAAnimation = {"CAAnimation", "NSObject",
                                                                               kDefaultDuration};
VELKORA_MODULE_EXPORT const VelkoraQuartzCoreClass OBJC_CLASS_$_CAPropertyAnimation = {"CAPropertyAnimation",
                                                                                       "CAAnimation", kDefaultDuration};
VELKORA_MODULE_EXPORT const VelkoraQuartzCoreClass OBJC_CLASS_$_CABasicAnimation = {
    "CABasicAnimation", "CAPropertyAnimation", kDefaultDuration};
VELKORA_MODULE_EXPORT const VelkoraQuartzCoreClass OBJC_CLASS_$_CAAnimationGroup = {"CAAnimationGroup", "CAAnimation",
                                                                                    kDefaultDuration};

VELKORA_MODULE_EXPORT const CATransform3D CATransform3DIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// A turn by `angle` radians about the axis (x, y, z); an axis of no length leaves everything in place.
VELKORA_MODULE_EXPORT CATransform3D CATransform3DMakeRotation(double angle, double x, double y, double z) {
    double length = std::sqrt(x * x + y * y + z * z);
    if (length == 0 || !std::isfinite(length)) return CATransform3DIdentity;
    x /= length;
    y /= length;
    z /= length;
    const double c = std::cos(angle), s = std::sin(angle), t = 1 - c;
    // Row vectors, as layers multiply them: a point p becomes p * M.
    return {t * x * x + c,
            t * x * y + z * s,
            t * x * z - y * s,
            0,
            t * x * y - z * s,
            t * y * y + c,
            t * y * z + x * s,
            0,
            t * x * z + y * s,
            t * y * z - x * s,
            t * z * z + c,
            0,
            0,
            0,
            0,
            1};
}
