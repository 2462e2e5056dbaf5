// The sticker store: the packs on offer, one pack with its stickers, the packs a user has, and adding a
// pack, free at once or paid with the store's receipt.
#include "Commands.h"
#include "Purchases.h"

namespace velkora::service {

namespace {

constexpr const char* kPackNotFound = "PACK_NOT_FOUND";
constexpr const char* kPackNotFree = "PACK_NOT_FREE";

Json nullable(const Json& data, const char* key) {
    auto it = data.find(key);
    return it == data.end() ? Json(nullptr) : *it;
}

Json stickersOf(Database& db, int64_t packId) {
    Json stickers = Json::array();
    Statement s = db.prepare("SELECT id, data FROM stickers WHERE pack_id = ? ORDER BY position, id");
    s.bindAll({packId});
    while (s.step()) {
        Json data = Json::parse(s.text(1), nullptr, false);
        stickers.push_back({{"id", s.integer(0)}, {"url", data.is_object() ? nullable(data, "url") : Json(nullptr)}});
    }
    return stickers;
}

// A pack as the replies give it; the store's list also carries its texts and product.
Json packJson(Database& db, int64_t packId, const std::string& dataText, bool withTexts) {
    Json data = Json::parse(dataText, nullptr, false);
    if (!data.is_object()) data = Json::object();
    Json pack = {{"id", packId}};
    if (withTexts) {
        pack["title"] = nullable(data, "title");
        pack["subtitle"] = nullable(data, "subtitle");
        pack["productId"] = nullable(data, "productId");
    }
    pack["icon"] = nullable(data, "icon");
    pack["stickers"] = stickersOf(db, packId);
    return pack;
}

// The pack's store product, empty for a free pack; PACK_NOT_FOUND for a pack the application lacks.
std::string productOf(Database& db, const std::string& appId, int64_t packId) {
    auto data = db.scalarText("SELECT data FROM sticker_packs WHERE id = ? AND app_id = ?", {packId, appId});
    if (!data) throw CommandError(kPackNotFound);
    Json pack = Json::parse(*data, nullptr, false);
    if (!pack.is_object() || !pack.contains("productId") || !pack["productId"].is_string()) return {};
    return pack["productId"].get<std::string>();
}

void addToUser(Database& db, const std::string& appId, const std::string& userId, int64_t packId,
               const std::optional<std::string>& receipt, double now) {
    db.run("INSERT OR IGNORE INTO user_sticker_packs(app_id, user_id, pack_id, receipt, time) VALUES(?, ?, ?, ?, ?)",
           {appId, userId, packId, receipt ? SqlValue(*receipt) : SqlValue(std::monostate{}), now});
}

Json getStickerStore(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    ctx.requireUser(appId);
    Json packs = Json::array();
    Statement s = ctx.db().prepare("SELECT id, data FROM sticker_packs WHERE app_id = ? ORDER BY position, id");
    s.bindAll({appId});
    while (s.step())
        packs.push_back(packJson(ctx.db(), s.integer(0), s.text(1), true));
    return {{"stickerPacks", packs}};
}

Json getStickerPack(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    ctx.requireUser(appId);
    int64_t packId = ctx.integer("packId");
    auto data = ctx.db().scalarText("SELECT data FROM sticker_packs WHERE id = ? AND app_id = ?", {packId, appId});
    if (!data) throw CommandError(kPackNotFound);
    return {{"stickerPack", packJson(ctx.db(), packId, *data, false)}};
}

Json getStickerData(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    Json packs = Json::array();
    Statement s =
        ctx.db().prepare("SELECT p.id, p.data FROM user_sticker_packs u JOIN sticker_packs p ON p.id = u.pack_id "
                         "WHERE u.app_id = ? AND u.user_id = ? ORDER BY u.time, p.id");
    s.bindAll({appId, userId});
    while (s.step())
        packs.push_back(packJson(ctx.db(), s.integer(0), s.text(1), false));
    return {{"stickerPacks", packs}};
}

Json addStickerPack(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    int64_t packId = ctx.integer("packId");
    // A paid pack comes only with its receipt, through addPaidStickerPack; a user who holds it or bought
    // it (on any device) has it back, as a restore asks.
    const std::string productId = productOf(ctx.db(), appId, packId);
    if (!productId.empty()) {
        bool holds =
            ctx.db()
                .scalarInteger("SELECT 1 FROM user_sticker_packs WHERE app_id = ? AND user_id = ? AND pack_id = ?",
                               {appId, userId, packId})
                .has_value();
        bool bought = ctx.db()
                          .scalarInteger("SELECT 1 FROM purchases WHERE app_id = ? AND user_id = ? AND product_id = ?",
                                         {appId, userId, productId})
                          .has_value();
        if (!holds && !bought) throw CommandError(kPackNotFree);
    }
    addToUser(ctx.db(), appId, userId, packId, std::nullopt, ctx.now());
    return {{"id", packId}};
}

Json addPaidStickerPack(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    int64_t packId = ctx.integer("packId");
    Database& db = ctx.db();
    Transaction tx(db);
    std::string productId = productOf(db, appId, packId);
    auto receipt = ctx.optText("receipt");
    bool added = false, retry = false;
    if (productId.empty()) {
        added = true; // a free pack needs no proof
    } else if (auto sent = ctx.optText("productId"); sent && *sent != productId) {
        added = false; // bought something else
    } else {
        switch (checkPurchase(db, appId, userId, receipt, productId, ctx.now())) {
        case PurchaseCheck::Accepted:
        case PurchaseCheck::Repeated:
            added = true;
            break;
        case PurchaseCheck::NoReceipt:
            retry = true;
            break;
        case PurchaseCheck::Refused:
            break;
        }
    }
    if (added) addToUser(db, appId, userId, packId, receipt, ctx.now());
    tx.commit();
    Json reply = {{"success", added}, {"retry", retry}};
    if (!productId.empty()) reply["productId"] = productId;
    reply["packId"] = packId;
    return reply;
}

} // namespace

void registerStickerCommands(CommandTable& table) {
    table.commands["getStickerStore"] = getStickerStore;
    table.commands["getStickerPack"] = getStickerPack;
    table.commands["getStickerData"] = getStickerData;
    table.commands["addStickerPack"] = addStickerPack;
    table.commands["addPaidStickerPack"] = addPaidStickerPack;
}

} // namespace velkora::service
