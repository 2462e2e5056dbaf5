// The address book's functions as the contacts reader calls them, each named after its system function
// behind the prefix VelkoraDFL_. They are bound directly to the platform's address book and answer only
// where the AddressBook framework is present (its module found by the framework loader); without it a
// book is never made and every call answers nothing. Callable from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/services/AddressBook.h"

using ABAddressBookRef = std::shared_ptr<velkora::services::AddressBook>;
using ABRecordRef = std::shared_ptr<velkora::services::AddressBookPerson>;
using ABAddressBookRequestAccessCompletionHandler =
    std::function<void(bool granted, const velkora::foundation::ErrorPtr& error)>;

// Null without the framework.
ABAddressBookRef VelkoraDFL_ABAddressBookCreateWithOptions(const velkora::foundation::Value* options,
                                                           velkora::foundation::ErrorPtr* error);
// The completion runs exactly once: with the person's answer off the main thread, or at once with false
// for no book.
void VelkoraDFL_ABAddressBookRequestAccessWithCompletion(const ABAddressBookRef& addressBook,
                                                         ABAddressBookRequestAccessCompletionHandler completion);
std::vector<ABRecordRef> VelkoraDFL_ABAddressBookCopyArrayOfAllPeople(const ABAddressBookRef& addressBook);
long VelkoraDFL_ABAddressBookGetPersonCount(const ABAddressBookRef& addressBook);
// A name as text, the e-mail addresses as a multi-value; null for anything else.
velkora::foundation::Value VelkoraDFL_ABRecordCopyValue(const ABRecordRef& record, int32_t property);
// On the multi-value that ABRecordCopyValue answered; 0 and null for anything else.
long VelkoraDFL_ABMultiValueGetCount(const velkora::foundation::Value& multiValue);
velkora::foundation::Value VelkoraDFL_ABMultiValueCopyValueAtIndex(const velkora::foundation::Value& multiValue,
                                                                   long index);
bool VelkoraDFL_ABPersonHasImageData(const ABRecordRef& person);
// Nothing when the person has no picture.
std::optional<std::string> VelkoraDFL_ABPersonCopyImageData(const ABRecordRef& person);
