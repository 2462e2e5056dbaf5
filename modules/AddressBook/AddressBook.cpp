// AddressBook: the property ids of a person's names and e-mail addresses. The address book's functions
// are bound directly by the kit and answer only where this module is present.
#include "../VelkoraModuleClass.h"

VELKORA_MODULE_EXPORT const int32_t kABPersonFirstNameProperty = 0;
VELKORA_MODULE_EXPORT const int32_t kABPersonLastNameProperty = 1;
VELKORA_MODULE_EXPORT const int32_t kABPersonEmailProperty = 4;
