// velkora-service run as a program, as the demo runs it: it prints where it listens and what to
// trust, serves HTTPS, and stops cleanly on SIGTERM.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include "velkora_service/QueryText.h"

namespace {

size_t collect(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

// Returns the curl result code; `body` receives the reply.
CURLcode fetch(const std::string& url, const std::string& caFile, std::string& body) {
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    if (!caFile.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.c_str());
    curl_easy_setopt(curl, CURLOPT_CAPATH, nullptr);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
    CURLcode rc = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    return rc;
}

TEST(ServiceProgram, PrintsPortAndCaServesHttpsAndStopsOnSigterm) {
    std::string dir =
        (std::filesystem::temp_directory_path() / ("velkora-program-" + std::to_string(getpid()))).string();
    std::filesystem::remove_all(dir);
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execl(VELKORA_SERVICE_PROGRAM, VELKORA_SERVICE_PROGRAM, "--data", dir.c_str(), "--port", "0", nullptr);
        _exit(127);
    }
    close(out[1]);
    FILE* lines = fdopen(out[0], "r");
    char line[4096];
    std::string port, ca;
    while ((port.empty() || ca.empty()) && std::fgets(line, sizeof line, lines)) {
        std::string text(line);
        if (!text.empty() && text.back() == '\n') text.pop_back();
        if (text.rfind("port ", 0) == 0) port = text.substr(5);
        if (text.rfind("ca ", 0) == 0) ca = text.substr(3);
    }
    ASSERT_FALSE(port.empty());
    ASSERT_FALSE(ca.empty());
    EXPECT_EQ(ca, dir + "/ca.pem");

    std::string endpoint = "https://127.0.0.1:" + port + "/VelkoraServer2/api";
    std::string text = "command=getAppData&clientType=1&build=2.5.7&appId=velkora-demo&changeNumber=0&v=15"
                       "&ts=1700000000.000000";
    std::string url =
        endpoint + "?" + text + "&crc=" + std::to_string(velkora::service::crc32Of(endpoint + "?" + text));

    std::string body;
    EXPECT_EQ(fetch(url, ca, body), CURLE_OK);
    EXPECT_NE(body.find("\"appData\""), std::string::npos) << body;

    std::string refused;
    EXPECT_EQ(fetch(url, "", refused), CURLE_PEER_FAILED_VERIFICATION);
    EXPECT_TRUE(refused.empty());

    ASSERT_EQ(kill(child, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::fclose(lines);
    std::filesystem::remove_all(dir);
}

} // namespace
