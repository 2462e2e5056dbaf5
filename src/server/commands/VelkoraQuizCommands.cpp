// Quizzes, coins and leaderboards.
#include <algorithm>
#include <utility>

#include "platform/foundation/Log.h"
#include "platform/services/Product.h"
#include "server/VelkoraServerApi.h"
#include "server/commands/VelkoraCommandGroups.h"
#include "server/commands/VelkoraRequestParts.h"
#include "server/commands/VelkoraStoreCommandParts.h"
#include "server/utils/RequestText.h"

namespace velkora {

using foundation::Value;
using namespace request;

namespace {

// Free texts go out escaped: a level, a report or a suggestion holding "&" or "=" must not spill into
// the parameters after it.

void readSetScore(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    d.scoreWasSet(w, reply["id"].int32Or(0));
}

void readGetScores(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    d.gotScores(w, parseScorePositionArray(reply, "topScores"), parseScorePositionArray(reply, "userArea"));
}

void readGetQuizzes(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    std::vector<VelkoraQuizPtr> quizzes;
    if (const foundation::Array* list = reply["quizzes"].asArray())
        for (const Value& e : *list)
            if (auto quiz = parseQuiz(e)) quizzes.push_back(std::move(quiz));
    d.gotQuizzes(w, quizzes, reply["unlockAllQuizzesCoins"].int32Or(0));
}

void readGetQuiz(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    if (auto quiz = parseQuiz(reply["quiz"]))
        d.gotQuiz(w, quiz);
    else
        commands::replyLacks(w, d);
}

void readUpdateQuizProduct(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    std::optional<std::string> productId;
    if (const std::string* text = reply["productId"].asString()) productId = *text;
    d.quizProductUpdated(w, reply["success"].boolOr(false), reply["retry"].boolOr(false), productId);
}

void readSuggestQuizQuestion(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value&) {
    d.quizQuestionSent(w);
}

// reportQuiz has no reader: its reply ends with the envelope.
const commands::Branch kBranches[] = {
    {VelkoraCommand::SetScore, readSetScore},
    {VelkoraCommand::GetScores, readGetScores},
    {VelkoraCommand::GetQuizzes, readGetQuizzes},
    {VelkoraCommand::GetQuiz, readGetQuiz},
    {VelkoraCommand::UpdateQuizProduct, readUpdateQuizProduct},
    {VelkoraCommand::SuggestQuizQuestion, readSuggestQuizQuestion},
};

using R = const VelkoraClientPendingRequest&;
using A = VelkoraServerClientAgent&;
void replaySetScore(A a, R r) { a.sendNewScore(r.level, r.score); }
void replayUpdateScore(A a, R r) { a.updateScore(r.level, r.score); }
void replayGetScores(A a, R r) { a.getScores(r.delegate, r.level, r.intervalType); }
void replayGetQuizzes(A a, R r) { a.getQuizzes(r.delegate); }
void replayGetQuiz(A a, R r) { a.getQuiz(r.delegate, r.quizId); }
void replayReportQuiz(A a, R r) { a.reportQuiz(r.quizId, r.message); }
void replayUsedLives(A a, R r) { a.updateQuizUsedLives(r.delegate, r.coins, r.quizLives, r.quizId, r.questionId); }
void replayUsedHints(A a, R r) { a.updateQuizUsedHints(r.delegate, r.coins, r.quizHints, r.quizId, r.questionId); }
void replayUsedQuiz(A a, R r) { a.updateQuizUsedQuiz(r.delegate, r.coins, r.quizId); }
void replayUsedAllQuizzes(A a, R r) { a.updateQuizUsedAllQuizzes(r.delegate, r.coins); }
void replayBoughtCoins(A a, R r) {
    a.updateQuizBoughtCoins(r.delegate, r.coins, r.quizId, r.questionId, r.product, r.paymentReceipt);
}
void replaySuggestQuizQuestion(A a, R r) {
    a.suggestQuizQuestion(r.delegate, r.quizId, r.question, r.correctAnswer, r.wrongAnswer1, r.wrongAnswer2,
                          r.wrongAnswer3);
}

}  // namespace

std::span<const commands::Branch> commands::quizBranches() { return kBranches; }

void commands::addQuizReplays(Replays& table) {
    namespace T = VelkoraPendingType;
    table[T::kSetScore] = replaySetScore;
    table[T::kUpdateScore] = replayUpdateScore;
    table[T::kGetScores] = replayGetScores;
    table[T::kGetQuizzes] = replayGetQuizzes;
    table[T::kGetQuiz] = replayGetQuiz;
    table[T::kReportQuiz] = replayReportQuiz;
    table[T::kUpdateQuizUsedLives] = replayUsedLives;
    table[T::kUpdateQuizUsedHints] = replayUsedHints;
    table[T::kUpdateQuizUsedQuiz] = replayUsedQuiz;
    table[T::kUpdateQuizUsedAllQuizzes] = replayUsedAllQuizzes;
    table[T::kUpdateQuizBoughtCoins] = replayBoughtCoins;
    table[T::kSuggestQuizQuestion] = replaySuggestQuizQuestion;
}

// ---- requests ----

bool VelkoraProtocolWrapper::setScore(const OptString& appId, const OptString& userId, const OptString& level,
                                      int64_t score, int32_t updatedScoreId) {
    if (idsMissing(appId, userId, "Velkora - setScore: AppId or UserId not set")) return false;
    std::string text = bareHead("setScore") + "&appId=" + *appId + "&userId=" + *userId + "&level=" + escaped(level) +
                       "&score=" + num(score) + clientTail();
    if (updatedScoreId >= 0) text += "&scoreId=" + num(updatedScoreId);
    send(VelkoraCommand::SetScore, text);
    return true;
}

bool VelkoraProtocolWrapper::getScores(const OptString& appId, const OptString& userId, const OptString& level,
                                       int32_t intervalType) {
    if (idsMissing(appId, userId, "Velkora - getScores: AppId or UserId not set")) return false;
    send(VelkoraCommand::GetScores, bareHead("getScores") + "&appId=" + *appId + "&userId=" + *userId +
                                        "&level=" + escaped(level) + "&intervalType=" + num(intervalType) +
                                        clientTail());
    return true;
}

bool VelkoraProtocolWrapper::getQuizzes(const OptString& appId, const OptString& userId) {
    if (idsMissing(appId, userId, "Velkora - getQuizzes: AppId or UserId not set")) return false;
    send(VelkoraCommand::GetQuizzes, bareHead("getQuizzes") + "&appId=" + *appId + "&userId=" + *userId + clientTail());
    return true;
}

bool VelkoraProtocolWrapper::getQuiz(const OptString& appId, const OptString& userId, int32_t quizId) {
    if (idsMissing(appId, userId, "Velkora - getQuiz: AppId or UserId not set")) return false;
    send(VelkoraCommand::GetQuiz, bareHead("getQuiz") + "&appId=" + *appId + "&userId=" + *userId +
                                      "&quizId=" + num(quizId) + clientTail());
    return true;
}

bool VelkoraProtocolWrapper::reportQuiz(const OptString& appId, const OptString& userId, int32_t quizId,
                                        const OptString& report) {
    if (idsMissing(appId, userId, "Velkora - reportQuiz: AppId or UserId not set")) return false;
    send(VelkoraCommand::ReportQuiz, bareHead("reportQuiz") + "&appId=" + *appId + "&userId=" + *userId +
                                         "&quizId=" + num(quizId) + "&report=" + escaped(report) + clientTail());
    return true;
}

bool VelkoraProtocolWrapper::updateQuizBoughtCoins(const OptString& appId, const OptString& userId, int32_t coins,
                                                   int32_t quizId, int32_t questionId,
                                                   const std::shared_ptr<services::Product>& product,
                                                   const OptString& paymentReceipt) {
    if (idsMissing(appId, userId, "Velkora - updateQuizBoughtCoins: AppId or UserId not set")) return false;
    std::string body = "command=updateQuizProduct&appId=" + *appId + "&userId=" + *userId + clientTail() +
                       "&coins=" + num(coins);
    if (quizId >= 0) body += "&quizId=" + num(quizId);
    if (questionId >= 0) body += "&questionId=" + num(questionId);
    sendForm(VelkoraCommand::UpdateQuizProduct, body + purchaseParameters(product, paymentReceipt));
    return true;
}

namespace {
// The head of the coins-spent forms: the coins go out negated.
std::string spentHead(const std::string& appId, const std::string& userId, int32_t coins) {
    return bareHead("updateQuizProduct") + "&appId=" + appId + "&userId=" + userId + clientTail() +
           "&coins=" + escapeRequestValue(num(-int64_t(coins)));
}
}  // namespace

bool VelkoraProtocolWrapper::updateQuizUsedLives(const OptString& appId, const OptString& userId, int32_t coins,
                                                 int32_t lives, int32_t quizId, int32_t questionId) {
    if (idsMissing(appId, userId, "Velkora - updateQuizUsedLives: AppId or UserId not set")) return false;
    send(VelkoraCommand::UpdateQuizProduct, spentHead(*appId, *userId, coins) + "&lives=" + num(lives) +
                                                "&quizId=" + num(quizId) + "&questionId=" + num(questionId));
    return true;
}

bool VelkoraProtocolWrapper::updateQuizUsedHints(const OptString& appId, const OptString& userId, int32_t coins,
                                                 int32_t hints, int32_t quizId, int32_t questionId) {
    if (idsMissing(appId, userId, "Velkora - updateQuizUsedHints: AppId or UserId not set")) return false;
    send(VelkoraCommand::UpdateQuizProduct, spentHead(*appId, *userId, coins) + "&hints=" + num(hints) +
                                                "&quizId=" + num(quizId) + "&questionId=" + num(questionId));
    return true;
}

bool VelkoraProtocolWrapper::updateQuizUsedQuiz(const OptString& appId, const OptString& userId, int32_t coins,
                                                int32_t quizId) {
    if (idsMissing(appId, userId, "Velkora - updateQuizUsedQuiz: AppId or UserId not set")) return false;
    send(VelkoraCommand::UpdateQuizProduct, spentHead(*appId, *userId, coins) + "&unlockQuizId=" + num(quizId));
    return true;
}

bool VelkoraProtocolWrapper::updateQuizUsedAllQuizzes(const OptString& appId, const OptString& userId, int32_t coins) {
    if (idsMissing(appId, userId, "Velkora - updateQuizUsedAllQuizzes: AppId or UserId not set")) return false;
    send(VelkoraCommand::UpdateQuizProduct, spentHead(*appId, *userId, coins) + "&unlockAllQuizzes=1");
    return true;
}

bool VelkoraProtocolWrapper::suggestQuizQuestion(const OptString& appId, const OptString& userId, int32_t quizId,
                                                 const OptString& question, const OptString& correctAnswer,
                                                 const OptString& firstWrongAnswer, const OptString& secondWrongAnswer,
                                                 const OptString& thirdWrongAnswer) {
    if (idsMissing(appId, userId, "Velkora - suggestQuizQuestion: AppId or UserId not set")) return false;
    send(VelkoraCommand::SuggestQuizQuestion,
         bareHead("suggestQuizQuestion") + "&appId=" + *appId + "&userId=" + *userId + "&quizId=" + num(quizId) +
             "&question=" + escaped(question) + "&correct=" + escaped(correctAnswer) +
             "&wrong1=" + escaped(firstWrongAnswer) + "&wrong2=" + escaped(secondWrongAnswer) +
             "&wrong3=" + escaped(thirdWrongAnswer) + clientTail());
    return true;
}

// ---- agent ----

void VelkoraServerClientAgent::setScore(const OptString& level, int64_t score) {
    lastSetScoreId_ = 0;
    heldScoreUpdate_.reset();
    sendNewScore(level, score);
}

void VelkoraServerClientAgent::sendNewScore(const OptString& level, int64_t score) {
    scoreInFlight_ = true;
    sendOrQueue(VelkoraPendingType::kSetScore, {},
                [&](VelkoraClientPendingRequest& r) {
                    r.level = level;
                    r.score = score;
                },
                [&](VelkoraProtocolWrapper& w) {
                    if (!w.setScore(appId_, userId_, level, score, -1)) return false;
                    newScoreWrappers_.push_back(&w);
                    return true;
                });
}

bool VelkoraServerClientAgent::takeNewScoreWrapper(const VelkoraProtocolWrapper& w) {
    auto it = std::find(newScoreWrappers_.begin(), newScoreWrappers_.end(), &w);
    if (it == newScoreWrappers_.end()) return false;
    newScoreWrappers_.erase(it);
    return true;
}

void VelkoraServerClientAgent::newScoreFailed(VelkoraProtocolWrapper& w) {
    if (!takeNewScoreWrapper(w) || !newScoreWrappers_.empty()) return;
    scoreInFlight_ = false;
    // The score the update grows never arrived: what the game reached goes out as a new score.
    if (auto held = std::exchange(heldScoreUpdate_, std::nullopt)) setScore(held->first, held->second);
}

void VelkoraServerClientAgent::updateScore(const OptString& level, int64_t score) {
    if (scoreInFlight_) {
        heldScoreUpdate_.emplace(level, score);
        return;
    }
    sendOrQueue(VelkoraPendingType::kUpdateScore, {},
                [&](VelkoraClientPendingRequest& r) {
                    r.level = level;
                    r.score = score;
                },
                [&](VelkoraProtocolWrapper& w) { return w.setScore(appId_, userId_, level, score, lastSetScoreId_); });
}

void VelkoraServerClientAgent::getScores(VelkoraCallback caller, const OptString& level, int32_t intervalType) {
    sendOrQueue(VelkoraPendingType::kGetScores, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.level = level;
                    r.intervalType = intervalType;
                },
                [&](VelkoraProtocolWrapper& w) { return w.getScores(appId_, userId_, level, intervalType); });
}

void VelkoraServerClientAgent::getQuizzes(VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kGetQuizzes, std::move(caller),
                [](VelkoraClientPendingRequest&) {},
                [&](VelkoraProtocolWrapper& w) { return w.getQuizzes(appId_, userId_); });
}

void VelkoraServerClientAgent::getQuiz(VelkoraCallback caller, int32_t quizId) {
    sendOrQueue(VelkoraPendingType::kGetQuiz, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.quizId = quizId; },
                [&](VelkoraProtocolWrapper& w) { return w.getQuiz(appId_, userId_, quizId); });
}

void VelkoraServerClientAgent::reportQuiz(int32_t quizId, const OptString& report) {
    sendOrQueue(VelkoraPendingType::kReportQuiz, {},
                [&](VelkoraClientPendingRequest& r) {
                    r.quizId = quizId;
                    r.message = report;
                },
                [&](VelkoraProtocolWrapper& w) { return w.reportQuiz(appId_, userId_, quizId, report); });
}

void VelkoraServerClientAgent::updateQuizBoughtCoins(VelkoraCallback caller, int32_t coins, int32_t quizId,
                                                     int32_t questionId, std::shared_ptr<services::Product> product,
                                                     const OptString& paymentReceipt) {
    sendOrQueue(VelkoraPendingType::kUpdateQuizBoughtCoins, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.quizId = quizId;
                    r.questionId = questionId;
                    r.coins = coins;
                    r.product = std::move(product);
                    r.paymentReceipt = paymentReceipt;
                },
                [&](VelkoraProtocolWrapper& w) {
                    return w.updateQuizBoughtCoins(appId_, userId_, coins, quizId, questionId, product, paymentReceipt);
                });
}

void VelkoraServerClientAgent::updateQuizUsedLives(VelkoraCallback caller, int32_t coins, int32_t lives,
                                                   int32_t quizId, int32_t questionId) {
    sendOrQueue(VelkoraPendingType::kUpdateQuizUsedLives, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.quizId = quizId;
                    r.questionId = questionId;
                    r.quizLives = lives;
                    r.coins = coins;
                },
                [&](VelkoraProtocolWrapper& w) {
                    return w.updateQuizUsedLives(appId_, userId_, coins, lives, quizId, questionId);
                });
}

void VelkoraServerClientAgent::updateQuizUsedHints(VelkoraCallback caller, int32_t coins, int32_t hints,
                                                   int32_t quizId, int32_t questionId) {
    sendOrQueue(VelkoraPendingType::kUpdateQuizUsedHints, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.quizId = quizId;
                    r.questionId = questionId;
                    r.quizHints = hints;
                    r.coins = coins;
                },
                [&](VelkoraProtocolWrapper& w) {
                    return w.updateQuizUsedHints(appId_, userId_, coins, hints, quizId, questionId);
                });
}

void VelkoraServerClientAgent::updateQuizUsedQuiz(VelkoraCallback caller, int32_t coins, int32_t quizId) {
    sendOrQueue(VelkoraPendingType::kUpdateQuizUsedQuiz, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.quizId = quizId;
                    r.coins = coins;
                },
                [&](VelkoraProtocolWrapper& w) { return w.updateQuizUsedQuiz(appId_, userId_, coins, quizId); });
}

void VelkoraServerClientAgent::updateQuizUsedAllQuizzes(VelkoraCallback caller, int32_t coins) {
    sendOrQueue(VelkoraPendingType::kUpdateQuizUsedAllQuizzes, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.coins = coins; },
                [&](VelkoraProtocolWrapper& w) { return w.updateQuizUsedAllQuizzes(appId_, userId_, coins); });
}

void VelkoraServerClientAgent::suggestQuizQuestion(VelkoraCallback caller, int32_t quizId, const OptString& question,
                                                   const OptString& correctAnswer, const OptString& firstWrongAnswer,
                                                   const OptString& secondWrongAnswer,
                                                   const OptString& thirdWrongAnswer) {
    sendOrQueue(VelkoraPendingType::kSuggestQuizQuestion, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.quizId = quizId;
                    r.question = question;
                    r.correctAnswer = correctAnswer;
                    r.wrongAnswer1 = firstWrongAnswer;
                    r.wrongAnswer2 = secondWrongAnswer;
                    r.wrongAnswer3 = thirdWrongAnswer;
                },
                [&](VelkoraProtocolWrapper& w) {
                    return w.suggestQuizQuestion(appId_, userId_, quizId, question, correctAnswer, firstWrongAnswer,
                                                 secondWrongAnswer, thirdWrongAnswer);
                });
}

void VelkoraServerClientAgent::scoreWasSet(VelkoraProtocolWrapper& w, int32_t scoreId) {
    const bool newScore = takeNewScoreWrapper(w);
    // An update's late reply never takes the place of a newer score's id.
    if (newScore || !scoreInFlight_) lastSetScoreId_ = scoreId;
    removeWorkingProtocolWrapper(w);
    if (!newScore || !newScoreWrappers_.empty()) return;
    scoreInFlight_ = false;
    if (auto held = std::exchange(heldScoreUpdate_, std::nullopt)) updateScore(held->first, held->second);
}

void VelkoraServerClientAgent::gotScores(VelkoraProtocolWrapper& w, const std::vector<VelkoraScorePositionPtr>& leaders,
                                         const std::vector<VelkoraScorePositionPtr>& userArea) {
    performUserSelector(w, Value(foundation::Dictionary{{"leaders", commands::objectsValue(leaders)},
                                                        {"userArea", commands::objectsValue(userArea)}}));
}

void VelkoraServerClientAgent::gotQuizzes(VelkoraProtocolWrapper& w, const std::vector<VelkoraQuizPtr>& quizzes,
                                          int32_t unlockAllQuizzesCoins) {
    performUserSelector(w, Value(foundation::Dictionary{{"quizzes", commands::objectsValue(quizzes)},
                                                        {"unlockAllQuizzesCoins", Value(unlockAllQuizzesCoins)}}));
}

void VelkoraServerClientAgent::gotQuiz(VelkoraProtocolWrapper& w, const VelkoraQuizPtr& quiz) {
    performUserSelector(w, Value::object(quiz));
}

void VelkoraServerClientAgent::quizProductUpdated(VelkoraProtocolWrapper& w, bool success, bool shouldRetry,
                                                  const std::optional<std::string>& productId) {
    foundation::Dictionary answer{{"success", Value(success)}, {"shouldRetry", Value(shouldRetry)}};
    if (productId) answer.set("productId", Value(*productId));
    performUserSelector(w, Value(std::move(answer)));
}

void VelkoraServerClientAgent::quizQuestionSent(VelkoraProtocolWrapper& w) { performUserSelector(w, Value()); }

// ---- facade ----

namespace {
VelkoraServerClientAgent& agent() { return VelkoraServerClientAgent::instance(); }
}  // namespace

void VelkoraServerApi::setScore(const OptString& level, int64_t score) { agent().setScore(level, score); }
void VelkoraServerApi::updateScore(const OptString& level, int64_t score) { agent().updateScore(level, score); }
void VelkoraServerApi::getScores(VelkoraCallback caller, const OptString& level, int32_t intervalType) {
    agent().getScores(std::move(caller), level, intervalType);
}
void VelkoraServerApi::getQuizzes(VelkoraCallback caller) { agent().getQuizzes(std::move(caller)); }
void VelkoraServerApi::getQuiz(VelkoraCallback caller, int32_t quizId) { agent().getQuiz(std::move(caller), quizId); }
void VelkoraServerApi::reportQuiz(int32_t quizId, const OptString& report) { agent().reportQuiz(quizId, report); }
void VelkoraServerApi::updateQuizBoughtCoins(VelkoraCallback caller, int32_t coins, int32_t quizId, int32_t questionId,
                                             std::shared_ptr<services::Product> product,
                                             const OptString& paymentReceipt) {
    agent().updateQuizBoughtCoins(std::move(caller), coins, quizId, questionId, std::move(product), paymentReceipt);
}
void VelkoraServerApi::updateQuizUsedLives(VelkoraCallback caller, int32_t coins, int32_t lives, int32_t quizId,
                                           int32_t questionId) {
    agent().updateQuizUsedLives(std::move(caller), coins, lives, quizId, questionId);
}
void VelkoraServerApi::updateQuizUsedHints(VelkoraCallback caller, int32_t coins, int32_t hints, int32_t quizId,
                                           int32_t questionId) {
    agent().updateQuizUsedHints(std::move(caller), coins, hints, quizId, questionId);
}
void VelkoraServerApi::updateQuizUsedQuiz(VelkoraCallback caller, int32_t coins, int32_t quizId) {
    agent().updateQuizUsedQuiz(std::move(caller), coins, quizId);
}
void VelkoraServerApi::updateQuizUsedAllQuizzes(VelkoraCallback caller, int32_t coins) {
    agent().updateQuizUsedAllQuizzes(std::move(caller), coins);
}
void VelkoraServerApi::suggestQuizQuestion(VelkoraCallback caller, int32_t quizId, const OptString& question,
                                           const OptString& correctAnswer, const OptString& firstWrongAnswer,
                                           const OptString& secondWrongAnswer, const OptString& thirdWrongAnswer) {
    agent().suggestQuizQuestion(std::move(caller), quizId, question, correctAnswer, firstWrongAnswer,
                                secondWrongAnswer, thirdWrongAnswer);
}

}  // namespace velkora
