#include "server/utils/VelkoraQuartzCore.h"

#include "server/utils/VelkoraDynamicFrameworkLoader.h"

namespace velkora {

const VelkoraQuartzCoreClass* loadQuartzCoreClass(const char* className) {
    return static_cast<const VelkoraQuartzCoreClass*>(
        VelkoraDynamicFrameworkLoader::loadClass(className, kQuartzCoreFramework));
}

ui::AffineTransform affineTransformOf(const CATransform3D& t) {
    return {t.m11, t.m12, t.m21, t.m22, t.m41, t.m42};
}

} // namespace velkora

extern "C" CATransform3D VelkoraDFL_CATransform3DMakeRotation(double angle, double x, double y, double z) {
    using Fn = CATransform3D (*)(double, double, double, double);
    auto fn = reinterpret_cast<Fn>(
        velkora::VelkoraDynamicFrameworkLoader::loadSymbol("CATransform3DMakeRotation", velkora::kQuartzCoreFramework));
    if (fn) return fn(angle, x, y, z);
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}
