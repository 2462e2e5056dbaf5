// AdSupport: the advertising identifier's manager (services::IdentifierManager holds the identifier).
#include "../VelkoraModuleClass.h"

VELKORA_MODULE_CLASS(ASIdentifierManager, "NSObject", "AdSupport");
