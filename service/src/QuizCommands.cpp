// Quizzes and their questions (with reserves and the hits of every answer), coins bought with the
// store's receipt and spent on lives, hints and locked quizzes, question suggestions, and the scores
// of each level ranked by period.
#include <algorithm>
#include <ctime>

#include "Commands.h"
#include "Purchases.h"

namespace velkora::service {

namespace {

constexpr const char* kQuizNotFound = "QUIZ_NOT_FOUND";
constexpr size_t kTopScores = 10;
constexpr size_t kAreaAround = 2; // rows above and below the user's own

Json quizData(Database& db, const std::string& appId, int64_t quizId) {
    auto text = db.scalarText("SELECT data FROM quizzes WHERE id = ? AND app_id = ?", {quizId, appId});
    if (!text) throw CommandError(kQuizNotFound);
    Json data = Json::parse(*text, nullptr, false);
    return data.is_object() ? data : Json::object();
}

bool unlockedFor(Database& db, const std::string& appId, const std::string& userId, int64_t quizId) {
    return db.scalarInteger("SELECT 1 FROM user_quizzes WHERE app_id = ? AND user_id = ? AND quiz_id = ?",
                            {appId, userId, quizId})
        .has_value();
}

bool lockedFor(Database& db, const std::string& appId, const std::string& userId, int64_t quizId, const Json& data) {
    return data.value("locked", false) && !unlockedFor(db, appId, userId, quizId);
}

// How often an answer was picked: its recorded picks, else the count the quiz was seeded with.
int64_t picksOf(const Json& answer) {
    if (answer.contains("picks") && answer["picks"].is_number_integer()) return answer["picks"].get<int64_t>();
    return answer.contains("hits") && answer["hits"].is_number_integer() ? answer["hits"].get<int64_t>() : 0;
}

// Questions as the replies give them: each answer's "hits" is its whole-percent share of the question's
// picks, never a raw count, and the picks stay on the service.
Json questionsWithShares(const Json& questions) {
    if (!questions.is_array()) return Json::array();
    Json out = questions;
    for (Json& question : out) {
        if (!question.is_object() || !question.contains("answers") || !question["answers"].is_array()) continue;
        int64_t total = 0;
        for (const Json& answer : question["answers"])
            if (answer.is_object()) total += std::max<int64_t>(0, picksOf(answer));
        for (Json& answer : question["answers"]) {
            if (!answer.is_object()) continue;
            int64_t picks = std::max<int64_t>(0, picksOf(answer));
            answer["hits"] = total > 0 ? picks * 100 / total : 0;
            answer.erase("picks");
        }
    }
    return out;
}

// A quiz as the replies give it; a quiz still locked for this user shows no questions.
Json quizJson(Database& db, const std::string& appId, const std::string& userId, int64_t quizId, const Json& data) {
    bool locked = lockedFor(db, appId, userId, quizId, data);
    Json quiz = {{"id", quizId},
                 {"locked", locked},
                 {"name", data.value("name", Json(nullptr))},
                 {"description", data.value("description", Json(nullptr))}};
    if (locked) {
        quiz["coins"] = data.value("coins", 0);
    } else {
        quiz["questions"] = questionsWithShares(data.value("questions", Json::array()));
        quiz["reserves"] = questionsWithShares(data.value("reserves", Json::array()));
    }
    return quiz;
}

Json getQuizzes(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    Json quizzes = Json::array();
    Statement s = ctx.db().prepare("SELECT id, data FROM quizzes WHERE app_id = ? ORDER BY position, id");
    s.bindAll({appId});
    while (s.step()) {
        Json data = Json::parse(s.text(1), nullptr, false);
        quizzes.push_back(quizJson(ctx.db(), appId, userId, s.integer(0), data.is_object() ? data : Json::object()));
    }
    int64_t unlockAll =
        ctx.db().scalarInteger("SELECT unlock_all_quizzes_coins FROM apps WHERE app_id = ?", {appId}).value_or(0);
    return {{"quizzes", quizzes}, {"unlockAllQuizzesCoins", unlockAll}};
}

Json getQuiz(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    int64_t quizId = ctx.integer("quizId");
    return {{"quiz", quizJson(ctx.db(), appId, userId, quizId, quizData(ctx.db(), appId, quizId))}};
}

// "question,answer" pairs joined by "|"; nothing when one pair is malformed.
std::optional<std::vector<std::pair<int64_t, int64_t>>> readReport(const std::string& report) {
    std::vector<std::pair<int64_t, int64_t>> pairs;
    size_t start = 0;
    while (start <= report.size() && !report.empty()) {
        size_t end = report.find('|', start);
        std::string pair = report.substr(start, end == std::string::npos ? std::string::npos : end - start);
        size_t comma = pair.find(',');
        if (comma == std::string::npos) return std::nullopt;
        auto question = parseInteger(pair.substr(0, comma)), answer = parseInteger(pair.substr(comma + 1));
        if (!question || !answer) return std::nullopt;
        pairs.emplace_back(*question, *answer);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return pairs;
}

// Counts each answer given, so the next readers see how often every answer was chosen.
Json reportQuiz(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    ctx.requireUser(appId);
    int64_t quizId = ctx.integer("quizId");
    auto pairs = readReport(ctx.text("report"));
    if (!pairs) throw CommandError(errors::kBadRequest);
    Database& db = ctx.db();
    Transaction tx(db);
    Json data = quizData(db, appId, quizId);
    for (const auto& [questionId, answerId] : *pairs) {
        for (const char* list : {"questions", "reserves"}) {
            if (!data.contains(list) || !data[list].is_array()) continue;
            for (Json& question : data[list]) {
                if (question.value("id", int64_t(-1)) != questionId || !question.contains("answers")) continue;
                for (Json& answer : question["answers"])
                    if (answer.value("id", int64_t(-1)) == answerId) answer["picks"] = picksOf(answer) + 1;
            }
        }
    }
    db.run("UPDATE quizzes SET data = ? WHERE id = ?", {data.dump(), quizId});
    tx.commit();
    return Json::object();
}

int64_t coinsOf(Database& db, const std::string& appId, const std::string& userId) {
    return db.scalarInteger("SELECT coins FROM users WHERE app_id = ? AND user_id = ?", {appId, userId}).value_or(0);
}

void addCoins(Database& db, const std::string& appId, const std::string& userId, int64_t coins) {
    db.run("UPDATE users SET coins = coins + ? WHERE app_id = ? AND user_id = ?", {coins, appId, userId});
}

// The coins of the pack a store product sells in this application: the coin key its "productIds" gives
// the product; 0 for a product that is no coin pack here.
int64_t packCoins(Database& db, const std::string& appId, const std::string& productId) {
    static const std::pair<const char*, int64_t> kPacks[] = {{"velkora.coins.100", 100},
                                                             {"velkora.coins.200", 200},
                                                             {"velkora.coins.500", 500},
                                                             {"velkora.coins.1000", 1000}};
    auto text = db.scalarText("SELECT config FROM apps WHERE app_id = ?", {appId});
    if (!text) return 0;
    Json config = Json::parse(*text, nullptr, false);
    if (!config.is_object() || !config.contains("productIds") || !config["productIds"].is_array()) return 0;
    for (const Json& entry : config["productIds"]) {
        if (!entry.is_object() || entry.value("productId", std::string()) != productId) continue;
        const std::string key = entry.value("key", std::string());
        for (const auto& [packKey, coins] : kPacks)
            if (key == packKey) return coins;
    }
    return 0;
}

// Coins bought: the pack the store proves was bought is credited once per store transaction, whatever
// count the client sends. The buyer's own transaction sent again is answered as a success with nothing
// credited, so a client whose first answer was lost finishes it.
Json boughtCoins(CommandContext& ctx, const std::string& appId, const std::string& userId) {
    auto productId = ctx.optText("productId");
    bool success = false, retry = false;
    const int64_t coins = productId ? packCoins(ctx.db(), appId, *productId) : 0;
    if (coins > 0) {
        switch (checkPurchase(ctx.db(), appId, userId, ctx.optText("receipt"), *productId, ctx.now())) {
        case PurchaseCheck::Accepted:
            addCoins(ctx.db(), appId, userId, coins);
            success = true;
            break;
        case PurchaseCheck::Repeated:
            success = true;
            break;
        case PurchaseCheck::NoReceipt:
            retry = true;
            break;
        case PurchaseCheck::Refused:
            break;
        }
    }
    Json reply = {{"success", success}, {"retry", retry}};
    if (productId) reply["productId"] = *productId;
    return reply;
}

// Coins spent; false when the user has too few, or offers less than a quiz costs.
bool spentCoins(CommandContext& ctx, const std::string& appId, const std::string& userId, int64_t spend) {
    Database& db = ctx.db();
    std::vector<int64_t> unlock;
    if (auto quizId = ctx.optInteger("unlockQuizId")) {
        Json data = quizData(db, appId, *quizId);
        if (!lockedFor(db, appId, userId, *quizId, data)) return true; // nothing left to pay for
        if (spend < data.value("coins", int64_t(0))) return false;
        unlock.push_back(*quizId);
    } else if (ctx.flag("unlockAllQuizzes")) {
        int64_t price =
            db.scalarInteger("SELECT unlock_all_quizzes_coins FROM apps WHERE app_id = ?", {appId}).value_or(0);
        if (spend < price) return false;
        Statement s = db.prepare("SELECT id FROM quizzes WHERE app_id = ?");
        s.bindAll({appId});
        while (s.step())
            unlock.push_back(s.integer(0));
    } else if (!ctx.optInteger("lives") && !ctx.optInteger("hints")) {
        throw CommandError(errors::kBadRequest); // spent on nothing
    }
    if (coinsOf(db, appId, userId) < spend) return false;
    for (int64_t quizId : unlock)
        db.run("INSERT OR IGNORE INTO user_quizzes(app_id, user_id, quiz_id) VALUES(?, ?, ?)", {appId, userId, quizId});
    addCoins(db, appId, userId, -spend);
    return true;
}

Json updateQuizProduct(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    int64_t coins = ctx.integer("coins");
    Transaction tx(ctx.db());
    Json reply;
    if (coins > 0)
        reply = boughtCoins(ctx, appId, userId);
    else
        reply = {{"success", spentCoins(ctx, appId, userId, -coins)}, {"retry", false}};
    tx.commit();
    return reply;
}

Json suggestQuizQuestion(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    int64_t quizId = ctx.integer("quizId");
    quizData(ctx.db(), appId, quizId);
    Json suggestion = {{"quizId", quizId},
                       {"question", ctx.nonEmpty("question")},
                       {"correct", ctx.nonEmpty("correct")},
                       {"wrong", {ctx.nonEmpty("wrong1"), ctx.text("wrong2"), ctx.text("wrong3")}}};
    ctx.db().run("INSERT INTO quiz_suggestions(app_id, user_id, data, time) VALUES(?, ?, ?, ?)",
                 {appId, userId, suggestion.dump(), ctx.now()});
    return Json::object();
}

// A new score, or the update of the user's own score of that id (one game's score as it grows).
Json setScore(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    std::string level = ctx.text("level");
    int64_t score = ctx.integer("score");
    Database& db = ctx.db();
    Transaction tx(db);
    int64_t scoreId = 0;
    // The user's total grows by what this game added: a new score's points, or an update's difference.
    int64_t added = score;
    if (auto id = ctx.optInteger("scoreId"); id && *id > 0) {
        auto before =
            db.scalarInteger("SELECT score FROM scores WHERE id = ? AND app_id = ? AND user_id = ? AND level = ?",
                             {*id, appId, userId, level});
        if (before) {
            db.run("UPDATE scores SET score = ?, time = ? WHERE id = ?", {score, ctx.now(), *id});
            scoreId = *id;
            added = score - *before;
        }
    }
    if (scoreId == 0) {
        db.run("INSERT INTO scores(app_id, user_id, score, level, time) VALUES(?, ?, ?, ?, ?)",
               {appId, userId, score, level, ctx.now()});
        scoreId = db.lastInsertId();
    }
    // The total is a 32-bit count on the devices: it saturates rather than wraps.
    db.run("UPDATE users SET score = MIN(MAX(score + ?, -2147483648), 2147483647) WHERE app_id = ? AND user_id = ?",
           {added, appId, userId});
    tx.commit();
    return {{"id", scoreId}};
}

// The start of the period of an interval type: today and this week (from Monday) in the service's
// local time, or all time.
double periodStart(int64_t intervalType, double now) {
    if (intervalType == 3) return -1e18;
    auto t = static_cast<time_t>(now);
    struct tm parts {};
    localtime_r(&t, &parts);
    if (intervalType == 2) parts.tm_mday -= (parts.tm_wday + 6) % 7;
    parts.tm_hour = parts.tm_min = parts.tm_sec = 0;
    parts.tm_isdst = -1;
    return static_cast<double>(mktime(&parts));
}

Json getScores(CommandContext& ctx) {
    std::string appId = ctx.requireApp();
    std::string userId = ctx.requireUser(appId);
    std::string level = ctx.text("level");
    int64_t intervalType = ctx.integer("intervalType");
    if (intervalType < 1 || intervalType > 3) throw CommandError(errors::kBadRequest);
    double since = periodStart(intervalType, ctx.now());
    Database& db = ctx.db();
    // Each user's best score of the period; equal scores rank by who reached them first.
    Statement s = db.prepare(
        "SELECT s.user_id, s.score, MIN(s.time) AS reached FROM scores s "
        "JOIN (SELECT user_id, MAX(score) AS best FROM scores WHERE app_id = ?1 AND level = ?2 AND time >= ?3 "
        "      GROUP BY user_id) b ON b.user_id = s.user_id AND b.best = s.score "
        "WHERE s.app_id = ?1 AND s.level = ?2 AND s.time >= ?3 "
        "GROUP BY s.user_id ORDER BY s.score DESC, reached, s.user_id");
    s.bindAll({appId, level, since});
    struct Row {
        std::string userId;
        int64_t score, position;
    };
    std::vector<Row> ranking;
    while (s.step()) {
        int64_t score = s.integer(1);
        // Equal scores share a place; the next score takes the place after all of them.
        int64_t position = !ranking.empty() && ranking.back().score == score ? ranking.back().position
                                                                             : int64_t(ranking.size()) + 1;
        ranking.push_back({s.text(0), score, position});
    }
    auto rowJson = [&](const Row& r) {
        return Json{{"position", r.position}, {"score", r.score}, {"user", rows::userJson(db, appId, r.userId, userId)}};
    };
    Json top = Json::array(), area = Json::array();
    for (size_t i = 0; i < ranking.size() && i < kTopScores; ++i)
        top.push_back(rowJson(ranking[i]));
    for (size_t i = 0; i < ranking.size(); ++i) {
        if (ranking[i].userId != userId) continue;
        size_t first = i > kAreaAround ? i - kAreaAround : 0, last = std::min(ranking.size() - 1, i + kAreaAround);
        for (size_t j = first; j <= last; ++j)
            area.push_back(rowJson(ranking[j]));
        break;
    }
    return {{"topScores", top}, {"userArea", area}};
}

} // namespace

void registerQuizCommands(CommandTable& table) {
    table.commands["getQuizzes"] = getQuizzes;
    table.commands["getQuiz"] = getQuiz;
    table.commands["reportQuiz"] = reportQuiz;
    table.commands["updateQuizProduct"] = updateQuizProduct;
    table.commands["suggestQuizQuestion"] = suggestQuizQuestion;
    table.commands["setScore"] = setScore;
    table.commands["getScores"] = getScores;
}

} // namespace velkora::service
