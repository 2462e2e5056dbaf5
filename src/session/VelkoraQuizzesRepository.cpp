#include "session/VelkoraQuizzesRepository.h"

#include "platform/foundation/NotificationCenter.h"
#include "server/VelkoraServerApi.h"

namespace velkora {

using foundation::Dictionary;
using foundation::Value;

VelkoraQuizzesRepository::VelkoraQuizzesRepository() {
    quizzes_.reserve(5);
}

void VelkoraQuizzesRepository::requestQuizzes() {
    VelkoraServerApi::getQuizzes(
        VelkoraCallback::make(shared_from_this(), [this](const Value& reply) { gotQuizzes(reply); }));
}

void VelkoraQuizzesRepository::gotQuizzes(const Value& reply) {
    gotQuizzes(objectsOf<VelkoraQuiz>(reply["quizzes"]), reply["unlockAllQuizzesCoins"].int32Or(0));
}

void VelkoraQuizzesRepository::gotQuizzes(const std::vector<VelkoraQuizPtr>& list, int32_t coins) {
    setQuizzes(list);
    if (coins > 0) unlockAllQuizzesCoins_ = coins;
    didFinishLoading_ = true;
    foundation::NotificationCenter::defaultCenter().post(kGotQuizzesNotification, this,
                                                         Value(Dictionary{{"newQuizzes", quizzes_.size()}}));
}

void VelkoraQuizzesRepository::setQuizzes(std::vector<VelkoraQuizPtr> list) {
    quizzes_.clear();
    for (auto& quiz : list) {
        if (quiz) quizzes_.push_back(std::move(quiz));
    }
    quizId2Index_ = std::unordered_map<int32_t, int32_t>(quizzes_.size());
    for (size_t i = 0; i < quizzes_.size(); ++i)
        quizId2Index_[quizzes_[i]->quizId()] = static_cast<int32_t>(i + 1);
}

VelkoraQuizPtr VelkoraQuizzesRepository::getQuizById(int32_t quizId) const {
    auto it = quizId2Index_.find(quizId);
    if (it == quizId2Index_.end() || it->second < 1 || static_cast<size_t>(it->second) > quizzes_.size())
        return nullptr;
    return quizzes_[static_cast<size_t>(it->second - 1)];
}

std::vector<int32_t> VelkoraQuizzesRepository::getQuizIds() const {
    std::vector<int32_t> ids;
    ids.reserve(quizzes_.size());
    for (const auto& quiz : quizzes_)
        ids.push_back(quiz->quizId());
    return ids;
}

} // namespace velkora
