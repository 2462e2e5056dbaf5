#include "social/VelkoraContactsConnctor.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "data/VelkoraUserDetailsDisplayer.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Utf8.h"
#include "platform/ui/Image.h"
#include "server/utils/VelkoraAddressBookFunctions.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"

namespace velkora {

namespace {

constexpr const char* kAddressBook = "AddressBook";

bool isBlank(uint32_t cp) {
    return cp == 0x09 || cp == 0x20 || cp == 0xA0 || cp == 0x1680 || (cp >= 0x2000 && cp <= 0x200A) || cp == 0x202F ||
           cp == 0x205F || cp == 0x3000;
}

uint32_t decode(const char* p, size_t length) {
    auto b = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(p[i])); };
    switch (length) {
    case 1:
        return b(0);
    case 2:
        return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    case 3:
        return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    default:
        return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
    }
}

} // namespace

std::string VelkoraContactUser::fullName() const {
    if (firstName_.empty() && lastName_.empty()) return email_;
    return VelkoraUserDetailsDisplayer::firstNameLastNameString(firstName_, lastName_, 0);
}

std::string VelkoraContactsConnctor::trimmed(std::string_view text) {
    // Walks whole characters from the front; a byte that starts no well-formed character ends the walk,
    // so nothing is ever cut inside one.
    const char* begin = text.data();
    const char* end = begin + text.size();
    const char* firstKept = end;
    const char* lastKeptEnd = begin;
    for (const char* p = begin; p < end;) {
        size_t length = foundation::utf8SequenceLength(p, end);
        const bool malformed = length == 0;
        if (malformed) length = 1;
        if (malformed || !isBlank(decode(p, length))) {
            if (firstKept == end) firstKept = p;
            lastKeptEnd = p + length;
        }
        p += length;
    }
    if (firstKept == end) return std::string();
    return std::string(firstKept, lastKeptEnd);
}

std::vector<std::shared_ptr<VelkoraContactUser>> VelkoraContactsConnctor::retrieveFriendsContactUsers() {
    std::vector<std::shared_ptr<VelkoraContactUser>> result;
    result.reserve(100);
    if (foundation::RunLoop::main().isLoopThread()) {
        // The access prompt needs the main loop this call would block.
        foundation::Log::line("Velkora (E) - retrieveFriendsContactUsers: called on the main thread, nothing read");
        return result;
    }
    if (!VelkoraDynamicFrameworkLoader::loadSymbol("kABPersonEmailProperty", kAddressBook)) return result;
    const int emailProperty =
        VelkoraDynamicFrameworkLoader::loadIntegerConstant("kABPersonEmailProperty", kAddressBook);
    const int firstProperty =
        VelkoraDynamicFrameworkLoader::loadIntegerConstant("kABPersonFirstNameProperty", kAddressBook);
    const int lastProperty =
        VelkoraDynamicFrameworkLoader::loadIntegerConstant("kABPersonLastNameProperty", kAddressBook);

    auto book = VelkoraDFL_ABAddressBookCreateWithOptions(nullptr, nullptr);
    if (!book) return result;
    std::mutex mutex;
    std::condition_variable answered;
    bool done = false, granted = false;
    VelkoraDFL_ABAddressBookRequestAccessWithCompletion(book, [&](bool ok, const foundation::ErrorPtr&) {
        std::lock_guard lock(mutex);
        granted = ok;
        done = true;
        answered.notify_one();
    });
    {
        std::unique_lock lock(mutex);
        answered.wait(lock, [&] { return done; });
    }
    if (!granted) return result;

    const auto people = VelkoraDFL_ABAddressBookCopyArrayOfAllPeople(book);
    // A contact added between the two reads would otherwise be read past the array's end.
    const size_t count =
        std::min(people.size(), static_cast<size_t>(std::max(0L, VelkoraDFL_ABAddressBookGetPersonCount(book))));
    for (size_t i = 0; i < count; ++i) {
        const auto& person = people[i];
        if (!person) continue;
        const foundation::Value emails = VelkoraDFL_ABRecordCopyValue(person, emailProperty);
        if (VelkoraDFL_ABMultiValueGetCount(emails) < 1) continue;
        auto contact = std::make_shared<VelkoraContactUser>();
        contact->setEmail(trimmed(VelkoraDFL_ABMultiValueCopyValueAtIndex(emails, 0).textOr("")));
        contact->setFirstName(trimmed(VelkoraDFL_ABRecordCopyValue(person, firstProperty).textOr("")));
        contact->setLastName(trimmed(VelkoraDFL_ABRecordCopyValue(person, lastProperty).textOr("")));
        if (VelkoraDFL_ABPersonHasImageData(person))
            if (auto data = VelkoraDFL_ABPersonCopyImageData(person))
                contact->setPhotoImage(ui::Image::fromData(*data));
        if (!contact->email().empty()) result.push_back(std::move(contact));
    }
    return result;
}

} // namespace velkora
