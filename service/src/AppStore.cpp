// The stand-in app store. Routes (under "/store"):
//   GET  products?ids=a,b        {"products": [...], "invalidProductIdentifiers": [...]}
//   POST purchase                account, productId[, quantity] → one transaction (state 1 or 2)
//   GET  purchases?account=      every purchase of the account, finished or not
//   GET  unfinished?account=     the account's transactions its device has not finished
//   POST finish                  account, transactionId
//   POST restore                 account → the account's non-consumables as restored transactions
// A transaction is {"transactionId", "productId", "quantity", "state", "date"} plus "receipt" (states 1
// and 3 only), "originalTransactionId" (3) or "error" {"code", "message"} (2).
#include "AppStore.h"

#include <fstream>
#include <sstream>

#include "Commands.h"
#include "OutsideRoutes.h"
#include "velkora_service/StoreReceipt.h"

namespace velkora::service {

namespace {

constexpr int kPurchased = 1, kFailed = 2, kRestored = 3;
// The store's own failure codes, as a device reports them.
constexpr int kPaymentInvalid = 3;

void createStoreSchema(Database& db) {
    db.exec(R"(
        CREATE TABLE IF NOT EXISTS store_products(
            product_id TEXT PRIMARY KEY, title TEXT, description TEXT, price TEXT, currency TEXT, locale TEXT,
            kind TEXT NOT NULL DEFAULT 'consumable', outcome TEXT NOT NULL DEFAULT 'approve');
        CREATE TABLE IF NOT EXISTS store_transactions(
            transaction_id TEXT PRIMARY KEY, account TEXT NOT NULL, product_id TEXT NOT NULL,
            quantity INTEGER NOT NULL DEFAULT 1, state INTEGER NOT NULL, date REAL NOT NULL,
            finished INTEGER NOT NULL DEFAULT 0, signed INTEGER NOT NULL DEFAULT 0, original_id TEXT,
            error_code INTEGER);
        CREATE INDEX IF NOT EXISTS store_transactions_account ON store_transactions(account, finished);
        CREATE TABLE IF NOT EXISTS store_accounts(account TEXT PRIMARY KEY, password_salt TEXT, password_hash TEXT);
    )");
}

void seedStore(Database& db, const std::string& socialSeedPath, double) {
    std::string path = socialSeedPath.substr(0, socialSeedPath.find_last_of('/') + 1) + "store.json";
    std::ifstream in(path);
    if (!in) return;
    Json seed = Json::parse(in, nullptr, false);
    if (!seed.is_object() || !seed.contains("products")) return;
    for (const Json& p : seed["products"]) {
        db.run("INSERT OR IGNORE INTO store_products(product_id, title, description, price, currency, locale, kind) "
               "VALUES(?, ?, ?, ?, ?, ?, ?)",
               {p.value("productId", ""), p.value("title", ""), p.value("description", ""), p.value("price", "0"),
                p.value("currency", "USD"), p.value("locale", "en_US"), p.value("kind", "consumable")});
    }
}

std::string newTransactionId(Database& db) {
    return std::to_string(1000000000000000LL + db.nextSequence("store_transactions"));
}

// A receipt whose signature the store's key did not make.
std::string unsignedReceipt(const std::string& productId, const std::string& transactionId) {
    return Json{{"productId", productId}, {"transactionId", transactionId}, {"signature", ""}}.dump();
}

Json transactionJson(Database& db, const std::string& transactionId) {
    Statement s = db.prepare("SELECT product_id, quantity, state, date, signed, original_id, error_code "
                             "FROM store_transactions WHERE transaction_id = ?");
    s.bindAll({transactionId});
    if (!s.step()) return nullptr;
    std::string productId = s.text(0);
    int state = static_cast<int>(s.integer(2));
    Json t = {{"transactionId", transactionId},
              {"productId", productId},
              {"quantity", s.integer(1)},
              {"state", state},
              {"date", s.real(3)}};
    if (state == kPurchased)
        t["receipt"] =
            s.integer(4) ? signStoreReceipt(productId, transactionId) : unsignedReceipt(productId, transactionId);
    if (state == kRestored) {
        t["originalTransactionId"] = s.text(5);
        t["receipt"] = signStoreReceipt(productId, s.text(5));
    }
    if (state == kFailed) t["error"] = {{"code", s.integer(6)}, {"message", "This purchase was declined."}};
    return t;
}

Json transactionList(Database& db, const std::string& where, const std::string& account) {
    Json list = Json::array();
    Statement s = db.prepare("SELECT transaction_id FROM store_transactions WHERE account = ? AND " + where +
                             " ORDER BY date, transaction_id");
    s.bindAll({account});
    std::vector<std::string> ids;
    while (s.step())
        ids.push_back(s.text(0));
    for (const auto& id : ids)
        list.push_back(transactionJson(db, id));
    return list;
}

LocalReply error(int status, const std::string& message) {
    return outside::json(status, Json{{"error", message}}.dump());
}

LocalReply products(OutsideRequest& r) {
    Json found = Json::array(), invalid = Json::array();
    std::stringstream ids(r.params.value("ids"));
    std::string id;
    while (std::getline(ids, id, ',')) {
        if (id.empty()) continue;
        Statement s =
            r.db.prepare("SELECT title, description, price, currency, locale FROM store_products WHERE product_id = ?");
        s.bindAll({id});
        if (!s.step()) {
            invalid.push_back(id);
            continue;
        }
        found.push_back({{"productIdentifier", id},
                         {"localizedTitle", s.text(0)},
                         {"localizedDescription", s.text(1)},
                         {"price", s.text(2)},
                         {"priceLocale", {{"currencyCode", s.text(3)}, {"localeIdentifier", s.text(4)}}}});
    }
    return outside::json(200, Json{{"products", found}, {"invalidProductIdentifiers", invalid}}.dump());
}

LocalReply purchase(OutsideRequest& r, const std::string& account) {
    std::string productId = r.params.value("productId");
    auto quantity = parseInteger(r.params.value("quantity", "1"));
    if (!quantity || *quantity < 1 || *quantity > 10) return error(400, "bad quantity");
    auto outcome = r.db.scalarText("SELECT outcome FROM store_products WHERE product_id = ?", {productId});
    if (!outcome) return error(404, "unknown product");
    std::string transactionId = newTransactionId(r.db);
    bool declined = *outcome == "decline";
    r.db.run("INSERT INTO store_transactions(transaction_id, account, product_id, quantity, state, date, signed, "
             "error_code) VALUES(?, ?, ?, ?, ?, ?, ?, ?)",
             {transactionId, account, productId, *quantity, int64_t(declined ? kFailed : kPurchased), r.now,
              int64_t(*outcome == "approve"), declined ? SqlValue(int64_t(kPaymentInvalid)) : SqlValue()});
    return outside::json(200, transactionJson(r.db, transactionId).dump());
}

LocalReply finish(OutsideRequest& r, const std::string& account) {
    std::string transactionId = r.params.value("transactionId");
    r.db.run("UPDATE store_transactions SET finished = 1 WHERE transaction_id = ? AND account = ?",
             {transactionId, account});
    if (r.db.changes() == 0) return error(404, "unknown transaction");
    return outside::json(200, Json{{"finished", true}}.dump());
}

LocalReply restore(OutsideRequest& r, const std::string& account) {
    // One restored transaction per non-consumable the account bought, from its first purchase.
    Statement s = r.db.prepare(
        "SELECT t.product_id, MIN(t.transaction_id) FROM store_transactions t "
        "JOIN store_products p ON p.product_id = t.product_id "
        "WHERE t.account = ? AND t.state = 1 AND t.signed = 1 AND p.kind = 'nonConsumable' GROUP BY t.product_id");
    s.bindAll({account});
    std::vector<std::pair<std::string, std::string>> owned;
    while (s.step())
        owned.emplace_back(s.text(0), s.text(1));
    Json list = Json::array();
    for (const auto& [productId, originalId] : owned) {
        std::string transactionId = newTransactionId(r.db);
        r.db.run("INSERT INTO store_transactions(transaction_id, account, product_id, state, date, signed, "
                 "original_id) VALUES(?, ?, ?, ?, ?, 1, ?)",
                 {transactionId, account, productId, int64_t(kRestored), r.now, originalId});
        list.push_back(transactionJson(r.db, transactionId));
    }
    return outside::json(200, Json{{"transactions", list}}.dump());
}

LocalReply answerStore(OutsideRequest& r) {
    if (r.path == "products" && r.method == "GET") return products(r);
    std::string account = r.params.value("account");
    if (account.empty()) return error(400, "no store account");
    // Another account's purchases and receipts are not this device's to read or finish.
    r.db.run("INSERT OR IGNORE INTO store_accounts(account) VALUES(?)", {account});
    if (!outside::passwordOfAccount(r.db, "store_accounts", "account", account, r.params.value("password")))
        return error(401, "the device is not signed in to this store account");
    if (r.path == "purchase" && r.method == "POST") return purchase(r, account);
    if (r.path == "purchases" && r.method == "GET")
        return outside::json(200, Json{{"transactions", transactionList(r.db, "state = 1", account)}}.dump());
    if (r.path == "unfinished" && r.method == "GET")
        return outside::json(200, Json{{"transactions", transactionList(r.db, "finished = 0", account)}}.dump());
    if (r.path == "finish" && r.method == "POST") return finish(r, account);
    if (r.path == "restore" && r.method == "POST") return restore(r, account);
    return error(404, "no such store route");
}

} // namespace

std::string recordStorePurchase(Database& db, const std::string& account, const std::string& productId,
                                const std::string& transactionId, double now) {
    db.run("INSERT OR IGNORE INTO store_transactions(transaction_id, account, product_id, state, date, finished, "
           "signed) VALUES(?, ?, ?, 1, ?, 1, 1)",
           {transactionId, account, productId, now});
    return signStoreReceipt(productId, transactionId);
}

bool storeRecordedPurchase(Database& db, const std::string& productId, const std::string& transactionId) {
    return db
        .scalarInteger("SELECT 1 FROM store_transactions WHERE transaction_id = ? AND product_id = ? AND state = 1 "
                       "AND signed = 1",
                       {transactionId, productId})
        .has_value();
}

bool setStoreOutcome(Database& db, const std::string& productId, StoreOutcome outcome) {
    const char* text = outcome == StoreOutcome::Approve   ? "approve"
                       : outcome == StoreOutcome::Decline ? "decline"
                                                          : "unsigned";
    db.run("UPDATE store_products SET outcome = ? WHERE product_id = ?", {std::string(text), productId});
    return db.changes() > 0;
}

OutsideRoute storeRoute() {
    return {"/store", createStoreSchema, answerStore, seedStore};
}

} // namespace velkora::service
