// The device's address book: people with their names, e-mail addresses (a multi-value) and picture.
// Reading needs the person's leave, asked through the contacts prompt; the answer comes on a queue of
// the platform, so a reader waiting for it on a background thread never blocks the main thread that
// shows the prompt.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace velkora::services {

// Property ids, as the AddressBook module exports them.
inline constexpr int kABPersonFirstNameProperty = 0;
inline constexpr int kABPersonLastNameProperty = 1;
inline constexpr int kABPersonEmailProperty = 4;

class AddressBookMultiValue {
public:
    explicit AddressBookMultiValue(std::vector<std::string> values) : values_(std::move(values)) {}
    long count() const { return static_cast<long>(values_.size()); }
    // Empty for an index out of range.
    std::string copyValueAtIndex(long index) const;

private:
    std::vector<std::string> values_;
};

class AddressBookPerson {
public:
    AddressBookPerson(std::string firstName, std::string lastName, std::vector<std::string> emails,
                      std::string imageData)
        : firstName_(std::move(firstName)), lastName_(std::move(lastName)),
          emails_(std::make_shared<AddressBookMultiValue>(std::move(emails))), imageData_(std::move(imageData)) {}

    // The names as text (null when the person has none); the e-mails as a multi-value object; null for
    // any other property.
    foundation::Value copyValue(int property) const;
    std::shared_ptr<AddressBookMultiValue> emails() const { return emails_; }
    bool hasImageData() const { return !imageData_.empty(); }
    const std::string& copyImageData() const { return imageData_; }

private:
    std::string firstName_, lastName_;
    std::shared_ptr<AddressBookMultiValue> emails_;
    std::string imageData_;
};

class AddressBook : public std::enable_shared_from_this<AddressBook> {
public:
    using AccessCompletion = std::function<void(bool granted, const foundation::ErrorPtr& error)>;

    // A view of the device's contacts as they are now.
    static std::shared_ptr<AddressBook> createWithOptions();

    // 0 not determined, 2 denied, 3 authorized (the platform's values).
    static int authorizationStatus();

    // Asks through the contacts prompt (a remembered answer comes back at once); the completion runs
    // exactly once, off the main thread.
    void requestAccessWithCompletion(AccessCompletion completion);

    // Nothing without access.
    std::vector<std::shared_ptr<AddressBookPerson>> copyArrayOfAllPeople() const;
    long personCount() const;

private:
    AddressBook() = default;
    std::vector<std::shared_ptr<AddressBookPerson>> people_;
};

} // namespace velkora::services
