// The play screen's way to the coin packs of the purchase manager.
#include "platform/services/Product.h"
#include "quiz/VelkoraQuizIAPHelper.h"
#include "quiz/VelkoraQuizPlayViewController.h"

namespace velkora {

std::shared_ptr<services::Product> VelkoraQuizPlayViewController::coinPackProduct(const std::string& key) {
    return VelkoraQuizIAPServerManager::instance().productByKey(key);
}

bool VelkoraQuizPlayViewController::buyCoinPack(const std::string& key, ui::View* view, int32_t quizId,
                                                int32_t questionId) {
    return VelkoraQuizIAPServerManager::instance().buyProductByKey(key, view, quizId, questionId);
}

} // namespace velkora
