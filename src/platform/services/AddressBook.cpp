#include "platform/services/AddressBook.h"

#include "platform/services/Device.h"

namespace velkora::services {

std::string AddressBookMultiValue::copyValueAtIndex(long index) const {
    if (index < 0 || index >= count()) return {};
    return values_[static_cast<size_t>(index)];
}

foundation::Value AddressBookPerson::copyValue(int property) const {
    switch (property) {
    case kABPersonFirstNameProperty:
        return firstName_.empty() ? foundation::Value() : foundation::Value(firstName_);
    case kABPersonLastNameProperty:
        return lastName_.empty() ? foundation::Value() : foundation::Value(lastName_);
    case kABPersonEmailProperty:
        return foundation::Value::object(emails_);
    default:
        return {};
    }
}

std::shared_ptr<AddressBook> AddressBook::createWithOptions() {
    auto book = std::shared_ptr<AddressBook>(new AddressBook());
    for (const Contact& c : Device::instance().contacts())
        book->people_.push_back(std::make_shared<AddressBookPerson>(c.firstName, c.lastName, c.emails, c.imageData));
    return book;
}

int AddressBook::authorizationStatus() {
    return static_cast<int>(Device::instance().authorizationStatus(Prompt::Contacts));
}

void AddressBook::requestAccessWithCompletion(AccessCompletion completion) {
    Device::instance().ask(Prompt::Contacts, [completion = std::move(completion)](bool granted) {
        if (completion) completion(granted, nullptr);
    });
}

std::vector<std::shared_ptr<AddressBookPerson>> AddressBook::copyArrayOfAllPeople() const {
    if (authorizationStatus() != static_cast<int>(AuthorizationStatus::Authorized)) return {};
    return people_;
}

long AddressBook::personCount() const {
    return static_cast<long>(copyArrayOfAllPeople().size());
}

} // namespace velkora::services
