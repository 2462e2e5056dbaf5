#include "server/utils/VelkoraAddressBookFunctions.h"

#include "server/utils/VelkoraDynamicFrameworkLoader.h"

using velkora::foundation::ErrorPtr;
using velkora::foundation::Value;

namespace {

// Whether the device has the framework: its module's first constant, looked up once and cached.
bool frameworkPresent() {
    return velkora::VelkoraDynamicFrameworkLoader::loadSymbol("kABPersonEmailProperty", "AddressBook") != nullptr;
}

std::shared_ptr<velkora::services::AddressBookMultiValue> multiValueOf(const Value& value) {
    return value.asObject<velkora::services::AddressBookMultiValue>();
}

} // namespace

ABAddressBookRef VelkoraDFL_ABAddressBookCreateWithOptions(const Value* /*options*/, ErrorPtr* error) {
    if (error) *error = nullptr;
    if (!frameworkPresent()) return nullptr;
    return velkora::services::AddressBook::createWithOptions();
}

void VelkoraDFL_ABAddressBookRequestAccessWithCompletion(const ABAddressBookRef& addressBook,
                                                         ABAddressBookRequestAccessCompletionHandler completion) {
    if (!completion) return;
    if (!addressBook || !frameworkPresent()) {
        // A reader waiting for this answer must never wait for ever.
        completion(false, nullptr);
        return;
    }
    addressBook->requestAccessWithCompletion(std::move(completion));
}

std::vector<ABRecordRef> VelkoraDFL_ABAddressBookCopyArrayOfAllPeople(const ABAddressBookRef& addressBook) {
    if (!addressBook || !frameworkPresent()) return {};
    return addressBook->copyArrayOfAllPeople();
}

long VelkoraDFL_ABAddressBookGetPersonCount(const ABAddressBookRef& addressBook) {
    if (!addressBook || !frameworkPresent()) return 0;
    return addressBook->personCount();
}

Value VelkoraDFL_ABRecordCopyValue(const ABRecordRef& record, int32_t property) {
    if (!record || !frameworkPresent()) return Value();
    return record->copyValue(property);
}

long VelkoraDFL_ABMultiValueGetCount(const Value& multiValue) {
    auto values = multiValueOf(multiValue);
    return values && frameworkPresent() ? values->count() : 0;
}

Value VelkoraDFL_ABMultiValueCopyValueAtIndex(const Value& multiValue, long index) {
    auto values = multiValueOf(multiValue);
    if (!values || !frameworkPresent() || index < 0 || index >= values->count()) return Value();
    return Value(values->copyValueAtIndex(index));
}

bool VelkoraDFL_ABPersonHasImageData(const ABRecordRef& person) {
    return person && frameworkPresent() && person->hasImageData();
}

std::optional<std::string> VelkoraDFL_ABPersonCopyImageData(const ABRecordRef& person) {
    if (!VelkoraDFL_ABPersonHasImageData(person)) return std::nullopt;
    return person->copyImageData();
}
