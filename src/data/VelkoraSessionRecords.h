// What the rooms below the session need of it: the local user record, the application configuration and the
// signed-in user, to read and to keep. The session object answers; the server client, the records and the
// social connectors know only this face of it, so they build and read without the session above them.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace velkora {

class VelkoraAppData;
class VelkoraUserInfo;
class VelkoraUserInternal;

class VelkoraSessionRecords {
public:
    virtual std::shared_ptr<VelkoraUserInfo> getUserInfo() const = 0;
    // Loads or creates the record once per process.
    virtual void initUserInfo(const std::string& appId) = 0;
    // Writes the record; a failed write is logged and leaves the previous file as it was.
    virtual bool saveUserInfo() = 0;
    // Starts over with another user id (the device id when none).
    virtual void resetUserInfoWithUserId(const std::optional<std::string>& userId) = 0;
    virtual std::shared_ptr<VelkoraAppData> getAppData() const = 0;
    virtual void setAppData(std::shared_ptr<VelkoraAppData> data) = 0;
    virtual bool saveAppData() = 0;
    virtual std::shared_ptr<VelkoraUserInternal> velkoraUser() const = 0;
    virtual void setVelkoraUser(std::shared_ptr<VelkoraUserInternal> user) = 0;
    virtual bool testMode() const = 0;

    // The running session's records. Before a session registered itself this is an empty stand-in: no
    // record, no configuration, nothing kept.
    static VelkoraSessionRecords& current();
    using Provider = VelkoraSessionRecords& (*)();
    // The session registers how it is found (it is made on first use and replaced between tests).
    static void setProvider(Provider provider);

protected:
    ~VelkoraSessionRecords() = default;
};

} // namespace velkora
