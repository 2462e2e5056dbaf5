// MessageUI: the mail compose sheet.
#include "../VelkoraModuleClass.h"

VELKORA_MODULE_CLASS(MFMailComposeViewController, "UINavigationController", "MessageUI");
