// CoreLocation: the location manager and the fixes it hands out.
#include "../VelkoraModuleClass.h"

VELKORA_MODULE_CLASS(CLLocationManager, "NSObject", "CoreLocation");
VELKORA_MODULE_CLASS(CLLocation, "NSObject", "CoreLocation");
