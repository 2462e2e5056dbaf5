// The application's quizzes in the service's order, found by id, and the price of unlocking them all.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "data/VelkoraQuiz.h"
#include "platform/foundation/Value.h"
#include "session/VelkoraSharedRepository.h"

namespace velkora {

class VelkoraQuizzesRepository final : public std::enable_shared_from_this<VelkoraQuizzesRepository> {
public:
    static constexpr const char* kGotQuizzesNotification = "VelkoraMessagesGotQuizzes";
    static constexpr int32_t kDefaultUnlockAllQuizzesCoins = 400;

    static VelkoraQuizzesRepository& instance() {
        return VelkoraSharedRepository<VelkoraQuizzesRepository>::instance();
    }
    static std::shared_ptr<VelkoraQuizzesRepository> shared() {
        return VelkoraSharedRepository<VelkoraQuizzesRepository>::shared();
    }
    static void resetForTests() { VelkoraSharedRepository<VelkoraQuizzesRepository>::resetForTests(); }

    // The quiz-list reply: "quizzes" (quiz objects) and "unlockAllQuizzesCoins".
    void gotQuizzes(const foundation::Value& reply);
    void gotQuizzes(const std::vector<VelkoraQuizPtr>& quizzes, int32_t unlockAllQuizzesCoins);
    VelkoraQuizPtr getQuizById(int32_t quizId) const;
    std::vector<int32_t> getQuizIds() const;

    bool didFinishLoading() const { return didFinishLoading_; }
    void setDidFinishLoading(bool v) { didFinishLoading_ = v; }
    int32_t unlockAllQuizzesCoins() const { return unlockAllQuizzesCoins_; }
    void setUnlockAllQuizzesCoins(int32_t v) { unlockAllQuizzesCoins_ = v; }
    const std::vector<VelkoraQuizPtr>& quizzes() const { return quizzes_; }
    void setQuizzes(std::vector<VelkoraQuizPtr> quizzes);
    const std::unordered_map<int32_t, int32_t>& quizId2Index() const { return quizId2Index_; }

private:
    friend class VelkoraSharedRepository<VelkoraQuizzesRepository>;
    VelkoraQuizzesRepository();
    void didCreate() { requestQuizzes(); }
    void requestQuizzes();

    bool didFinishLoading_ = false;
    int32_t unlockAllQuizzesCoins_ = kDefaultUnlockAllQuizzesCoins;
    std::vector<VelkoraQuizPtr> quizzes_;
    // Position + 1 in `quizzes_`. Made afresh from each list: an entry left from an older list would
    // point at whichever quiz now sits at its old position.
    std::unordered_map<int32_t, int32_t> quizId2Index_;
};

} // namespace velkora
