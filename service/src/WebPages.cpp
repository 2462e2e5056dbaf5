// The application's own pages: the terms, the privacy policy and the community rules, kept in SQLite and
// served as HTML under "/pages"; an old address answers 301 to the page that replaced it.
#include "velkora_service/WebPages.h"

#include "OutsideRoutes.h"

namespace velkora::service {

namespace {

LocalReply html(int status, const std::string& body) {
    return {status, body, "text/html; charset=utf-8", false, {}};
}

std::string page(const std::string& title, const std::string& body) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + outside::escapeHtml(title) +
           "</title></head>\n<body>" + body + "</body></html>\n";
}

LocalReply notFoundPage(const OutsideRequest& r) {
    return html(
        404, page("Not Found", "<h1>Not Found</h1>\n<p>There is no page at " + outside::escapeHtml(r.url) + ".</p>\n"));
}

struct SitePage {
    const char* name;
    const char* title;
    const char* body;
    const char* redirect; // another page's name: the address moved there
};

// The pages link to each other with addresses relative to the site; the community page's old address
// still leads to it.
constexpr SitePage kSitePages[] = {
    {"terms", "Terms of Use",
     "<h1>Terms of Use</h1>\n"
     "<p>By using Velkora Demo you agree to these terms. Be kind to other players, keep your account to "
     "yourself, and post only what you have the right to share.</p>\n"
     "<h2>Your content</h2>\n"
     "<p>What you post stays yours; you let us show it to the people you share it with.</p>\n"
     "<p>Read how we handle your data in the <a href=\"/pages/privacy\">Privacy Policy</a>, and how we talk to "
     "each other in the <a href=\"/pages/rules\">Community Rules</a>.</p>\n",
     nullptr},
    {"privacy", "Privacy Policy",
     "<h1>Privacy Policy</h1>\n"
     "<p>We keep your profile, your messages and your scores so that the game works for you and your friends. "
     "We never sell them.</p>\n"
     "<h2>What you can do</h2>\n"
     "<p>You can change your profile at any time, or ask us to delete your account.</p>\n"
     "<p>See also the <a href=\"/pages/terms\">Terms of Use</a> and the "
     "<a href=\"/pages/community\">Community Rules</a>.</p>\n",
     nullptr},
    {"community", "Community Rules",
     "<h1>Community Rules</h1>\n"
     "<ul><li>Be friendly.</li><li>No spam.</li><li>Report what hurts.</li></ul>\n"
     "<p>Watch the short welcome video:</p>\n"
     "<iframe src=\"/video/embed/welcome\" width=\"320\" height=\"200\"></iframe>\n"
     "<p>Back to the <a href=\"/pages/terms\">Terms of Use</a> or the "
     "<a href=\"/pages/privacy\">Privacy Policy</a>.</p>\n",
     nullptr},
    {"rules", "Moved", "", "community"},
};

void createPagesSchema(Database& db) {
    db.exec("CREATE TABLE IF NOT EXISTS web_pages(name TEXT PRIMARY KEY, title TEXT NOT NULL, body TEXT NOT NULL, "
            "redirect TEXT)");
    for (const SitePage& p : kSitePages)
        db.run("INSERT OR IGNORE INTO web_pages(name, title, body, redirect) VALUES(?, ?, ?, ?)",
               {std::string(p.name), std::string(p.title), std::string(p.body),
                p.redirect ? SqlValue(std::string(p.redirect)) : SqlValue()});
}

LocalReply answerPages(OutsideRequest& r) {
    Statement s = r.db.prepare("SELECT title, body, redirect FROM web_pages WHERE name = ?");
    s.bindAll({r.path});
    if (!s.step()) return notFoundPage(r);
    if (!s.isNull(2)) {
        std::string moved = s.text(2);
        std::string target = moved.find("://") != std::string::npos ? moved : r.baseUrl + "/pages/" + moved;
        LocalReply out = html(301, page("Moved", "<a href=\"" + outside::escapeHtml(target) + "\">Moved here</a>"));
        out.headers.emplace_back("Location", target);
        return out;
    }
    return html(200, page(s.text(0), s.text(1)));
}

} // namespace

OutsideRoute pagesRoute() {
    return {"/pages", createPagesSchema, answerPages, {}};
}

} // namespace velkora::service
