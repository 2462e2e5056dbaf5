#include "platform/services/Store.h"

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "platform/foundation/JsonSerialization.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NumberFormatter.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/services/Device.h"
#include "platform/services/OutsideEndpoints.h"
#include "platform/services/SocialRequest.h" // its RFC 3986 escaping serves the store's forms too

namespace velkora::services {

using foundation::ErrorPtr;
using foundation::RunLoop;
using foundation::Value;

namespace {

using Parameters = std::vector<std::pair<std::string, std::string>>;
using Answer = std::function<void(const std::optional<Value>& reply, const ErrorPtr& error)>;

ErrorPtr storeError(int64_t code, const std::string& message, ErrorPtr underlying = nullptr) {
    foundation::Dictionary info;
    info.set("NSLocalizedDescription", Value(message));
    return foundation::makeError(kStoreErrorDomain, code, Value(std::move(info)), std::move(underlying));
}

// One exchange with the store: the reply's JSON object, or why there is none.
class StoreCall final : public foundation::UrlConnectionDelegate {
public:
    explicit StoreCall(Answer answer) : answer_(std::move(answer)) {}

    void connectionDidReceiveResponse(foundation::UrlConnection&, const foundation::UrlResponse& r) override {
        status_ = r.statusCode;
    }
    void connectionDidReceiveData(foundation::UrlConnection&, const uint8_t* data, size_t size) override {
        data_.append(reinterpret_cast<const char*>(data), size);
    }
    void connectionDidFinishLoading(foundation::UrlConnection&) override {
        auto reply = foundation::JsonSerialization::JSONObjectWithData(data_);
        if (status_ != 200 || !reply || !reply->isDictionary()) {
            std::string why = reply ? (*reply)["error"].toText().value_or("") : std::string();
            deliver(std::nullopt, storeError(kStoreErrorUnknown,
                                             why.empty() ? "The store answered " + std::to_string(status_) : why));
            return;
        }
        deliver(reply, nullptr);
    }
    void connectionDidFailWithError(foundation::UrlConnection&, const ErrorPtr& error) override {
        deliver(std::nullopt, storeError(kStoreErrorUnknown, "Cannot connect to the store.", error));
    }

    void deliver(const std::optional<Value>& reply, const ErrorPtr& error) {
        if (!answer_) return;
        auto answer = std::move(answer_);
        answer_ = nullptr;
        answer(reply, error);
    }

private:
    Answer answer_;
    long status_ = 0;
    std::string data_;
};

std::shared_ptr<foundation::UrlConnection> callStore(const std::string& method, const std::string& path,
                                                     const Parameters& parameters, Answer answer) {
    Parameters sent;
    for (const auto& pair : parameters) {
        sent.push_back(pair);
        // The store serves an account only to a device signed in to it.
        if (pair.first == "account") sent.emplace_back("password", Device::instance().storePassword());
    }
    std::string form = oauthFormText(sent);
    std::string url = OutsideEndpoints::url(OutsideEndpoints::Service::Store, path);
    foundation::UrlRequest request =
        method == "POST" ? foundation::UrlRequest::post(url, std::vector<uint8_t>(form.begin(), form.end()))
                         : foundation::UrlRequest::get(form.empty() ? url : url + "?" + form);
    auto call = std::make_shared<StoreCall>(std::move(answer));
    ErrorPtr whyNot;
    auto connection = foundation::UrlConnection::start(std::move(request), call, &whyNot);
    if (!connection) call->deliver(std::nullopt, storeError(kStoreErrorUnknown, "Cannot reach the store.", whyNot));
    return connection;
}

std::string text(const Value& v, const char* key) {
    return v[key].toText().value_or("");
}

} // namespace

// ProductsRequest

struct ProductsRequest::Call {
    std::shared_ptr<foundation::UrlConnection> connection;
    bool cancelled = false;
};

std::shared_ptr<ProductsRequest> ProductsRequest::create(std::set<std::string> productIdentifiers) {
    return std::shared_ptr<ProductsRequest>(new ProductsRequest(std::move(productIdentifiers)));
}

ProductsRequest::~ProductsRequest() {
    cancel();
}

void ProductsRequest::start() {
    cancel();
    std::string ids;
    for (const auto& id : productIdentifiers_)
        ids += (ids.empty() ? "" : ",") + id;
    auto call = std::make_shared<Call>();
    call_ = call;
    std::weak_ptr<ProductsRequest> weak = weak_from_this();
    call->connection = callStore(
        "GET", "products", {{"ids", ids}}, [weak, call](const std::optional<Value>& reply, const ErrorPtr& error) {
            auto self = weak.lock();
            if (call->cancelled || !self) return;
            self->call_.reset();
            auto delegate = self->delegate_.lock();
            if (!delegate) return;
            if (!reply) {
                delegate->requestDidFailWithError(*self, error);
                return;
            }
            ProductsResponse response;
            if (auto* products = (*reply)["products"].asArray()) {
                for (const Value& p : *products) {
                    std::string id = text(p, "productIdentifier");
                    // Only what was asked for: a store answering more must not make products appear.
                    if (id.empty() || !self->productIdentifiers_.count(id)) continue;
                    response.products.push_back(std::make_shared<Product>(
                        id, text(p, "price"),
                        PriceLocale{text(p["priceLocale"], "localeIdentifier"), text(p["priceLocale"], "currencyCode")},
                        text(p, "localizedTitle"), text(p, "localizedDescription")));
                }
            }
            if (auto* invalid = (*reply)["invalidProductIdentifiers"].asArray())
                for (const Value& id : *invalid)
                    if (auto t = id.toText()) response.invalidProductIdentifiers.push_back(*t);
            delegate->productsRequestDidReceiveResponse(*self, response);
            delegate->requestDidFinish(*self);
        });
}

void ProductsRequest::cancel() {
    if (!call_) return;
    call_->cancelled = true;
    if (call_->connection) call_->connection->cancel();
    call_.reset();
}

// Payment

std::shared_ptr<Payment> Payment::paymentWithProduct(const std::shared_ptr<Product>& product, int quantity) {
    if (!product) return nullptr;
    return std::make_shared<Payment>(product->productIdentifier(), std::max(1, quantity), product);
}

// PaymentQueue

PaymentQueue& PaymentQueue::defaultQueue() {
    static PaymentQueue* queue = new PaymentQueue();
    return *queue;
}

bool PaymentQueue::canMakePayments() {
    return Device::instance().canMakePayments();
}

template <class Call> void PaymentQueue::eachObserver(Call call) {
    std::erase_if(observers_, [](const auto& o) { return o.expired(); });
    for (const auto& weak : std::vector<std::weak_ptr<PaymentTransactionObserver>>(observers_))
        if (auto observer = weak.lock()) call(*observer);
}

void PaymentQueue::notifyUpdated(const PaymentTransactions& changed) {
    if (changed.empty()) return;
    eachObserver([&](PaymentTransactionObserver& o) { o.paymentQueueUpdatedTransactions(*this, changed); });
}

void PaymentQueue::addTransactionObserver(const std::shared_ptr<PaymentTransactionObserver>& observer) {
    if (!observer) return;
    for (const auto& o : observers_)
        if (o.lock() == observer) return;
    observers_.push_back(observer);
    if (!fetchedUnfinished_) {
        fetchedUnfinished_ = true;
        fetchUnfinished();
    }
}

void PaymentQueue::removeTransactionObserver(const std::shared_ptr<PaymentTransactionObserver>& observer) {
    std::erase_if(observers_, [&](const auto& o) { return o.expired() || o.lock() == observer; });
}

std::shared_ptr<PaymentTransaction> PaymentQueue::adopt(const Value& record) {
    std::string id = text(record, "transactionId");
    std::string productId = text(record, "productId");
    int64_t state = record["state"].toInt64().value_or(-1);
    if (id.empty() || productId.empty() || state < 1 || state > 3) return nullptr;
    for (const auto& t : transactions_)
        if (t->transactionIdentifier_ == id) return nullptr; // already in the queue
    if (finishedIds_.count(id)) return nullptr;
    auto quantity = record["quantity"].toInt64().value_or(1);
    auto t = std::make_shared<PaymentTransaction>(
        std::make_shared<Payment>(productId, static_cast<int>(std::clamp<int64_t>(quantity, 1, 10)), nullptr));
    t->transactionIdentifier_ = id;
    t->transactionDate_ = record["date"].toDouble().value_or(0);
    t->state_ = static_cast<PaymentTransactionState>(state);
    if (t->state_ == PaymentTransactionState::Failed) {
        t->error_ = storeError(record["error"]["code"].toInt64().value_or(kStoreErrorUnknown),
                               text(record["error"], "message"));
    } else {
        auto receipt = record["receipt"].toText();
        // A purchase without its receipt is no purchase the kit could prove.
        if (!receipt || receipt->empty()) return nullptr;
        t->transactionReceipt_ = *receipt;
    }
    if (t->state_ == PaymentTransactionState::Restored) {
        auto original = std::make_shared<PaymentTransaction>(t->payment_);
        original->transactionIdentifier_ = text(record, "originalTransactionId");
        original->state_ = PaymentTransactionState::Purchased;
        t->originalTransaction_ = std::move(original);
    }
    return t;
}

void PaymentQueue::fetchUnfinished() {
    auto account = Device::instance().storeAccount();
    if (!account) return;
    uint64_t generation = generation_;
    callStore("GET", "unfinished", {{"account", *account}},
              [this, generation](const std::optional<Value>& reply, const ErrorPtr& error) {
                  if (generation != generation_) return;
                  if (!reply) {
                      // Asked again when the next observer comes; the store keeps them meanwhile.
                      fetchedUnfinished_ = false;
                      foundation::Log::line("Velkora (W) - PaymentQueue: unfinished transactions not fetched: %@",
                                            error ? error->description() : std::string());
                      return;
                  }
                  PaymentTransactions adopted;
                  if (auto* list = (*reply)["transactions"].asArray())
                      for (const Value& record : *list)
                          if (auto t = adopt(record)) adopted.push_back(t);
                  transactions_.insert(transactions_.end(), adopted.begin(), adopted.end());
                  notifyUpdated(adopted);
              });
}

void PaymentQueue::addPayment(const std::shared_ptr<Payment>& payment) {
    if (!payment) return;
    auto t = std::make_shared<PaymentTransaction>(payment);
    t->transactionDate_ = RunLoop::main().now();
    transactions_.push_back(t);
    uint64_t generation = generation_;
    // As the platform does: observers hear of the new transaction from the run loop, never from inside
    // the call that added it.
    RunLoop::main().post([this, t, generation] {
        if (generation != generation_) return;
        notifyUpdated({t});
        if (!canMakePayments()) {
            fail(t, kStoreErrorPaymentNotAllowed, "Purchases are not allowed on this device.");
            return;
        }
        if (!Device::instance().storeAccount()) {
            fail(t, kStoreErrorClientInvalid, "No store account is signed in on this device.");
            return;
        }
        PromptText text = Device::defaultPromptText(Prompt::Purchase);
        if (const auto& product = t->payment_->product()) {
            double price = std::strtod(product->price().c_str(), nullptr);
            std::string shown = foundation::NumberFormatter::format(price, foundation::NumberFormatter::Style::Currency,
                                                                    product->priceLocale().localeIdentifier);
            text.message = foundation::format(
                "Do you want to buy one %@ for %@?",
                product->localizedTitle().empty() ? product->productIdentifier() : product->localizedTitle(), shown);
        } else {
            text.message = foundation::format("Do you want to buy one %@?", t->payment_->productIdentifier());
        }
        Device::instance().ask(
            Prompt::Purchase,
            [this, t, generation](bool buy) {
                if (generation != generation_) return;
                if (!buy)
                    fail(t, kStoreErrorPaymentCancelled, "Cancelled");
                else
                    purchase(t);
            },
            std::move(text));
    });
}

void PaymentQueue::purchase(const std::shared_ptr<PaymentTransaction>& t) {
    auto account = Device::instance().storeAccount();
    if (!account) {
        fail(t, kStoreErrorClientInvalid, "No store account is signed in on this device.");
        return;
    }
    uint64_t generation = generation_;
    callStore("POST", "purchase",
              {{"account", *account},
               {"productId", t->payment_->productIdentifier()},
               {"quantity", std::to_string(t->payment_->quantity())}},
              [this, t, generation](const std::optional<Value>& reply, const ErrorPtr& error) {
                  if (generation != generation_) return;
                  if (!reply) {
                      // The store's error, carrying the connection's own where the network failed.
                      failWithError(t, error);
                      return;
                  }
                  auto record = adopt(*reply);
                  // Only a purchase of what was paid for, with its receipt, is reported purchased.
                  if (!record || record->payment_->productIdentifier() != t->payment_->productIdentifier() ||
                      record->state_ == PaymentTransactionState::Restored) {
                      fail(t, kStoreErrorUnknown, "The store's answer is not a purchase of this product.");
                      return;
                  }
                  t->transactionIdentifier_ = record->transactionIdentifier_;
                  t->transactionDate_ = record->transactionDate_;
                  t->state_ = record->state_;
                  t->error_ = record->error_;
                  t->transactionReceipt_ = record->transactionReceipt_;
                  notifyUpdated({t});
              });
}

void PaymentQueue::fail(const std::shared_ptr<PaymentTransaction>& t, int64_t code, const std::string& message) {
    failWithError(t, storeError(code, message));
}

void PaymentQueue::failWithError(const std::shared_ptr<PaymentTransaction>& t, ErrorPtr error) {
    t->state_ = PaymentTransactionState::Failed;
    t->transactionReceipt_.reset();
    t->error_ = std::move(error);
    notifyUpdated({t});
}

void PaymentQueue::finishTransaction(const std::shared_ptr<PaymentTransaction>& transaction) {
    auto it = std::find(transactions_.begin(), transactions_.end(), transaction);
    if (!transaction || it == transactions_.end()) return;
    if (transaction->state_ == PaymentTransactionState::Purchasing) {
        foundation::Log::line("Velkora (E) - PaymentQueue: cannot finish a transaction that is still purchasing (%@)",
                              transaction->payment_->productIdentifier());
        return;
    }
    transactions_.erase(it);
    if (!transaction->transactionIdentifier_.empty()) {
        finishedIds_.insert(transaction->transactionIdentifier_);
        if (auto account = Device::instance().storeAccount()) {
            std::string id = transaction->transactionIdentifier_;
            callStore("POST", "finish", {{"account", *account}, {"transactionId", id}},
                      [id](const std::optional<Value>& reply, const ErrorPtr& error) {
                          // The store hands it back unfinished next time; nothing is lost.
                          if (!reply)
                              foundation::Log::line("Velkora (W) - PaymentQueue: finishing %@ failed: %@", id,
                                                    error ? error->description() : std::string());
                      });
        }
    }
    eachObserver([&](PaymentTransactionObserver& o) { o.paymentQueueRemovedTransactions(*this, {transaction}); });
}

void PaymentQueue::restoreCompletedTransactions() {
    uint64_t generation = generation_;
    auto account = Device::instance().storeAccount();
    if (!account) {
        RunLoop::main().post([this, generation] {
            if (generation != generation_) return;
            auto error = storeError(kStoreErrorClientInvalid, "No store account is signed in on this device.");
            eachObserver([&](PaymentTransactionObserver& o) {
                o.paymentQueueRestoreCompletedTransactionsFailedWithError(*this, error);
            });
        });
        return;
    }
    callStore("POST", "restore", {{"account", *account}},
              [this, generation](const std::optional<Value>& reply, const ErrorPtr& error) {
                  if (generation != generation_) return;
                  if (!reply) {
                      eachObserver([&](PaymentTransactionObserver& o) {
                          o.paymentQueueRestoreCompletedTransactionsFailedWithError(*this, error);
                      });
                      return;
                  }
                  PaymentTransactions restored;
                  if (auto* list = (*reply)["transactions"].asArray())
                      for (const Value& record : *list)
                          if (auto t = adopt(record); t && t->state_ == PaymentTransactionState::Restored)
                              restored.push_back(t);
                  transactions_.insert(transactions_.end(), restored.begin(), restored.end());
                  notifyUpdated(restored);
                  eachObserver([&](PaymentTransactionObserver& o) {
                      o.paymentQueueRestoreCompletedTransactionsFinished(*this);
                  });
              });
}

void PaymentQueue::resetForTests() {
    ++generation_;
    observers_.clear();
    transactions_.clear();
    finishedIds_.clear();
    fetchedUnfinished_ = false;
}

} // namespace velkora::services
