// A fresh documents folder and a fresh session object for each test.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppSettings.h"

namespace velkora::testing {

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/velkora-session-XXXXXX";
        root_ = mkdtemp(pattern);
        foundation::Paths::setRoot(root_);
        foundation::UserDefaults::standard().setFilePath(root_ + "/Documents/velkora.userdefaults.json");
        foundation::Bundle::main().setInfoDictionary(foundation::Value());
        VelkoraAgentInternal::resetForTests();
        VelkoraAppSettings::resetForTests();
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
        foundation::Paths::reset();
    }
    std::string documents() const { return foundation::Paths::documents(); }
    std::string docPath(const std::string& name) const { return documents() + "/" + name; }

    std::string root_;
};

}  // namespace velkora::testing
