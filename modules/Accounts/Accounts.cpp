// Accounts: the social-network accounts signed in on the device.
#include "../VelkoraModuleClass.h"

VELKORA_MODULE_CLASS(ACAccountStore, "NSObject", "Accounts");

VELKORA_MODULE_EXPORT const char* const ACAccountTypeIdentifierTwitter = "com.velkora.device.account.twitter";
