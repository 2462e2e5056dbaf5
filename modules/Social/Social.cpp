// Social: the compose sheet and signed requests to a social network's interface.
#include "../VelkoraModuleClass.h"

VELKORA_MODULE_CLASS(SLComposeViewController, "UIViewController", "Social");
VELKORA_MODULE_CLASS(SLRequest, "NSObject", "Social");

VELKORA_MODULE_EXPORT const char* const SLServiceTypeTwitter = "com.velkora.device.social.twitter";
