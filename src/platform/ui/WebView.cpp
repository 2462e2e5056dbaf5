#include "platform/ui/WebView.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/GraphicsContext.h"

namespace velkora::ui {

using foundation::ErrorPtr;
using foundation::UrlConnection;
using foundation::UrlRequest;
using foundation::UrlResponse;

namespace {

bool isWebScheme(const std::string& url) {
    std::string scheme = foundation::urlScheme(url);
    return scheme == "http" || scheme == "https";
}

ErrorPtr loadError(const char* domain, int64_t code, const std::string& description, const std::string& url) {
    foundation::Dictionary info;
    info.set("description", foundation::Value(description));
    info.set("url", foundation::Value(url));
    return foundation::makeError(domain, code, foundation::Value(std::move(info)));
}

// "scheme://host:port" of an address, in lower case.
std::string originOf(const std::string& url) {
    size_t hostStart = url.find("://");
    if (hostStart == std::string::npos) return {};
    size_t end = url.find_first_of("/?#", hostStart + 3);
    std::string origin = url.substr(0, end);
    std::transform(origin.begin(), origin.end(), origin.begin(), [](unsigned char c) { return std::tolower(c); });
    return origin;
}

ErrorPtr interruptedError(const std::string& url) {
    return loadError(kWebKitErrorDomain, kWebKitErrorFrameLoadInterrupted, "Frame load interrupted", url);
}

bool isLineBreak(const AttributedString& text, size_t index) {
    return index < text.length() && text.substring({index, 1}).string() == "\n";
}

// From a piece's own coordinates to the view's.
Rect offset(Rect r, double dy, const WebViewMargins& margins) {
    return Rect(r.origin.x + margins.left, r.origin.y + margins.top + dy, r.size.width, r.size.height);
}

// A picture's size as the page asks for it: both attributes as given, one of them with the other side
// following the picture's proportions, neither the picture's own; then made narrow enough for the page,
// proportions kept.
Size pictureSize(const WebViewBox& box, Size natural, double width) {
    Size size = natural;
    if (box.width && box.height) {
        size = {*box.width, *box.height};
    } else if (box.width) {
        size = {*box.width, natural.width > 0 ? natural.height * *box.width / natural.width : natural.height};
    } else if (box.height) {
        size = {natural.height > 0 ? natural.width * *box.height / natural.height : natural.width, *box.height};
    }
    if (size.width > width) size = {width, size.height * width / size.width};
    return size;
}

} // namespace

// One frame's load: the page itself, or one of its frames at a deeper level.
struct WebView::Frame {
    WebView* owner = nullptr;
    UrlRequest request;
    int level = 1;
    int hops = 0;
    bool fromHistory = false;
    std::shared_ptr<UrlConnection> connection;
    std::string data;
    bool truncated = false;
    bool redirected = false; // the response asked for another hop; its body is not the page
    bool retried = false;
    bool answered = false; // some of a reply arrived for the current hop
    UrlResponse response;
};

// The connection's delegate for one frame; a frame the view has let go of hears nothing more.
struct WebView::Loader final : foundation::UrlConnectionDelegate {
    std::weak_ptr<Frame> frame;
    explicit Loader(std::weak_ptr<Frame> f) : frame(std::move(f)) {}

    void connectionDidReceiveResponse(UrlConnection&, const UrlResponse& response) override {
        auto f = frame.lock();
        if (!f) return;
        f->answered = true;
        f->response = response;
        f->redirected = response.statusCode >= 300 && response.statusCode < 400 && !response.header("Location").empty();
    }
    void connectionDidReceiveData(UrlConnection& c, const uint8_t* data, size_t size) override {
        auto f = frame.lock();
        if (!f || f->redirected) return;
        size_t room = WebViewDocument::kMaximumBytes - std::min(WebViewDocument::kMaximumBytes, f->data.size());
        f->data.append(reinterpret_cast<const char*>(data), std::min(room, size));
        if (size > room) {
            // The rest of an oversized page is not read at all; the page shows what fits.
            f->truncated = true;
            c.cancel();
            if (auto owner = f->owner->sharedAs<WebView>()) owner->frameFinished(f);
        }
    }
    void connectionDidFinishLoading(UrlConnection&) override {
        auto f = frame.lock();
        if (!f) return;
        auto owner = f->owner->sharedAs<WebView>();
        if (!owner) return;
        if (f->redirected)
            owner->hop(f, f->response);
        else
            owner->frameFinished(f);
    }
    void connectionDidFailWithError(UrlConnection&, const ErrorPtr& error) override {
        auto f = frame.lock();
        if (!f) return;
        auto owner = f->owner->sharedAs<WebView>();
        if (!owner) return;
        // A kept-alive connection the server closed as the request went out: nothing of the page came,
        // so it is asked for once more, as browsers do.
        if (error && error->code == foundation::kUrlErrorNetworkConnectionLost && !f->answered && !f->retried) {
            f->retried = true;
            owner->startLoad(f);
            return;
        }
        owner->frameFailed(f, error);
    }
};

// One picture of the page on its way.
struct WebView::PictureLoad {
    WebView* owner = nullptr;
    std::string source;
    std::shared_ptr<UrlConnection> connection;
    std::string data;
    long status = 0;
};

struct WebView::PictureLoader final : foundation::UrlConnectionDelegate {
    std::weak_ptr<PictureLoad> load;
    explicit PictureLoader(std::weak_ptr<PictureLoad> l) : load(std::move(l)) {}

    void connectionDidReceiveResponse(UrlConnection&, const UrlResponse& response) override {
        if (auto l = load.lock()) l->status = response.statusCode;
    }
    void connectionDidReceiveData(UrlConnection& c, const uint8_t* data, size_t size) override {
        auto l = load.lock();
        if (!l) return;
        if (l->data.size() + size > kMaximumPictureBytes) {
            // Too big to be a picture of a page: its box stays.
            c.cancel();
            finish(l, false);
            return;
        }
        l->data.append(reinterpret_cast<const char*>(data), size);
    }
    void connectionDidFinishLoading(UrlConnection&) override {
        if (auto l = load.lock()) finish(l, l->status >= 200 && l->status < 300);
    }
    void connectionDidFailWithError(UrlConnection&, const ErrorPtr&) override {
        if (auto l = load.lock()) finish(l, false);
    }
    static void finish(const std::shared_ptr<PictureLoad>& l, bool ok) {
        if (auto owner = l->owner->sharedAs<WebView>()) owner->pictureFinished(l, ok);
    }
};

WebView::WebView(const Rect& frame) : View(frame) {
    setBackgroundColor(Color::whiteColor());
    setOpaque(true);
    setClipsToBounds(true);
    // The recogniser lives and dies with the view, so it may call back into it directly.
    auto tap = std::make_shared<TapGestureRecognizer>();
    tap->addAction([this](GestureRecognizer& r) {
        if (r.state() == GestureRecognizerState::Recognized) tapAt(r.locationInView(this));
    });
    addGestureRecognizer(tap);
}

WebView::~WebView() {
    if (mainFrame_ && mainFrame_->connection) mainFrame_->connection->cancel();
    for (auto& f : subframes_)
        if (f->connection) f->connection->cancel();
    for (auto& p : pictureLoads_)
        if (p->connection) p->connection->cancel();
}

void WebView::loadRequest(const UrlRequest& request) {
    navigate(request, WebViewNavigationTypeOther, false);
}

void WebView::loadHTMLString(const std::string& html, const std::string& baseUrl) {
    stopLoading();
    HistoryEntry entry{UrlRequest::get(baseUrl), true, html};
    auto keep = sharedAs<WebView>();
    if (auto d = delegate()) d->webViewDidStartLoad(*this);
    currentRequest_ = entry.request;
    statusCode_ = 0;
    showDocument(WebViewDocument::parse(html, baseUrl), entry, false);
}

void WebView::setLocation(const std::string& url) {
    std::string target = foundation::resolveUrl(document_.baseUrl(), url);
    if (target.empty()) target = url;
    navigate(UrlRequest::get(target), WebViewNavigationTypeOther, false);
}

void WebView::goBack() {
    if (!canGoBack()) return;
    const HistoryEntry entry = history_[size_t(historyIndex_ - 1)];
    if (entry.isHtml) {
        auto keep = sharedAs<WebView>();
        if (auto d = delegate();
            d && !d->webViewShouldStartLoadWithRequest(*this, entry.request, WebViewNavigationTypeBackForward))
            return;
        stopLoading();
        if (auto d = delegate()) d->webViewDidStartLoad(*this);
        currentRequest_ = entry.request;
        statusCode_ = 0;
        showDocument(WebViewDocument::parse(entry.html, entry.request.url), entry, true);
        return;
    }
    navigate(entry.request, WebViewNavigationTypeBackForward, true);
}

void WebView::navigate(UrlRequest request, int navigationType, bool fromHistory) {
    auto keep = sharedAs<WebView>();
    if (auto d = delegate(); d && !d->webViewShouldStartLoadWithRequest(*this, request, navigationType)) return;
    stopLoading();
    request.followRedirects = false;
    auto frame = std::make_shared<Frame>();
    frame->owner = this;
    frame->request = std::move(request);
    frame->fromHistory = fromHistory;
    mainFrame_ = frame;
    currentRequest_ = frame->request;
    if (auto d = delegate()) d->webViewDidStartLoad(*this);
    if (mainFrame_ != frame) return; // the delegate started another load
    startLoad(frame);
}

void WebView::startLoad(const std::shared_ptr<Frame>& frame) {
    if (!isWebScheme(frame->request.url)) {
        // Another application's address (or a file): nothing here can show it, and no page reads files.
        frameFailed(frame, interruptedError(frame->request.url));
        return;
    }
    ErrorPtr whyNot;
    frame->data.clear();
    frame->redirected = false;
    frame->answered = false;
    frame->connection = UrlConnection::start(frame->request, std::make_shared<Loader>(frame), &whyNot);
    if (!frame->connection) frameFailed(frame, whyNot);
}

void WebView::hop(const std::shared_ptr<Frame>& frame, const UrlResponse& response) {
    auto keep = sharedAs<WebView>();
    frame->connection.reset();
    std::string location = foundation::resolveUrl(frame->request.url, response.header("Location"));
    if (location.empty()) location = response.header("Location");
    if (++frame->hops > kMaximumRedirects) {
        frameFailed(frame, loadError(foundation::kUrlConnectionErrorDomain, foundation::kUrlErrorTooManyRedirects,
                                     "too many redirects", location));
        return;
    }
    // A page asked for over https never moves to plain http, where the request would travel in the
    // clear; the URL connection refuses such a hop the same way.
    if (foundation::urlScheme(frame->request.url) == "https" && foundation::urlScheme(location) == "http") {
        frameFailed(frame, loadError(foundation::kUrlConnectionErrorDomain, foundation::kUrlErrorUnsupportedUrl,
                                     "redirect from https to http refused", location));
        return;
    }
    UrlRequest next = UrlRequest::get(location);
    next.followRedirects = false;
    // The request's own headers (credentials among them) go only where they were meant to go.
    if (originOf(location) == originOf(frame->request.url)) next.headers = frame->request.headers;
    bool isMain = frame == mainFrame_;
    if (auto d = delegate(); d && !d->webViewShouldStartLoadWithRequest(*this, next, WebViewNavigationTypeOther)) {
        // The delegate may have stopped the view itself (it then heard -999 and nothing more is owed).
        bool stillOurs =
            isMain ? mainFrame_ == frame : std::find(subframes_.begin(), subframes_.end(), frame) != subframes_.end();
        if (stillOurs) frameFailed(frame, interruptedError(location));
        return;
    }
    frame->request = std::move(next);
    if (isMain) currentRequest_ = frame->request;
    startLoad(frame);
}

void WebView::frameFinished(const std::shared_ptr<Frame>& frame) {
    auto keep = sharedAs<WebView>();
    frame->connection.reset();
    if (frame == mainFrame_) {
        mainFrame_.reset();
        statusCode_ = frame->response.statusCode;
        HistoryEntry entry{frame->request, false, {}};
        showDocument(WebViewDocument::parse(frame->data, frame->request.url), entry, frame->fromHistory);
        return;
    }
    auto it = std::find(subframes_.begin(), subframes_.end(), frame);
    if (it == subframes_.end()) return;
    subframes_.erase(it);
    WebViewDocument inner = WebViewDocument::parse(frame->data, frame->request.url);
    if (frame->level < kMaximumFrameLevels) startFrames(inner, frame->level + 1);
    if (auto d = delegate()) d->webViewDidFinishLoad(*this);
}

void WebView::frameFailed(const std::shared_ptr<Frame>& frame, const ErrorPtr& error) {
    auto keep = sharedAs<WebView>();
    if (frame->connection) frame->connection->cancel();
    frame->connection.reset();
    if (frame == mainFrame_) {
        mainFrame_.reset();
        cancelFrames();
    } else {
        auto it = std::find(subframes_.begin(), subframes_.end(), frame);
        if (it == subframes_.end()) return;
        subframes_.erase(it);
    }
    if (auto d = delegate()) d->webViewDidFailLoadWithError(*this, error);
}

void WebView::showDocument(WebViewDocument document, const HistoryEntry& entry, bool fromHistory) {
    cancelFrames();
    document_ = std::move(document);
    pieces_.clear();
    piecesWidth_ = -1;
    if (fromHistory) {
        // Only a page that arrived moves the history back; a failed step back leaves it where it was.
        historyIndex_ = std::max(0, historyIndex_ - 1);
    } else {
        if (historyIndex_ + 1 < int(history_.size())) history_.resize(size_t(historyIndex_ + 1));
        history_.push_back(entry);
        historyIndex_ = int(history_.size()) - 1;
    }
    setNeedsDisplay();
    startPictures();
    // The frames start before the page's finish is told, so a delegate asking isLoading() learns of them.
    startFrames(document_, 2);
    if (auto d = delegate()) d->webViewDidFinishLoad(*this);
}

void WebView::startFrames(const WebViewDocument& document, int level) {
    if (level > kMaximumFrameLevels) return;
    for (const std::string& source : document.frameSources()) {
        UrlRequest request = UrlRequest::get(source);
        request.followRedirects = false;
        if (auto d = delegate(); d && !d->webViewShouldStartLoadWithRequest(*this, request, WebViewNavigationTypeOther))
            continue;
        if (!isWebScheme(source)) continue; // a frame never shows a file or another application's address
        auto frame = std::make_shared<Frame>();
        frame->owner = this;
        frame->request = std::move(request);
        frame->level = level;
        subframes_.push_back(frame);
        if (auto d = delegate()) d->webViewDidStartLoad(*this);
        if (std::find(subframes_.begin(), subframes_.end(), frame) != subframes_.end()) startLoad(frame);
    }
}

void WebView::cancelFrames() {
    auto frames = std::move(subframes_);
    subframes_.clear();
    for (auto& f : frames)
        if (f->connection) f->connection->cancel();
}

void WebView::startPictures() {
    cancelPictures();
    pictures_.clear();
    for (const WebViewBox& box : document_.boxes()) {
        if (box.kind != WebViewBox::Kind::Image || !isWebScheme(box.source) || pictures_.count(box.source)) continue;
        if (pictures_.size() >= kMaximumPictures) break;
        pictures_[box.source] = nullptr; // asked for once, however often the page shows it
        auto load = std::make_shared<PictureLoad>();
        load->owner = this;
        load->source = box.source;
        pictureLoads_.push_back(load);
        load->connection = UrlConnection::start(UrlRequest::get(box.source), std::make_shared<PictureLoader>(load));
        if (!load->connection) std::erase(pictureLoads_, load);
    }
}

void WebView::cancelPictures() {
    auto loads = std::move(pictureLoads_);
    pictureLoads_.clear();
    for (auto& p : loads)
        if (p->connection) p->connection->cancel();
}

void WebView::pictureFinished(const std::shared_ptr<PictureLoad>& load, bool ok) {
    auto it = std::find(pictureLoads_.begin(), pictureLoads_.end(), load);
    if (it == pictureLoads_.end()) return; // a picture of a page no longer shown
    pictureLoads_.erase(it);
    load->connection.reset();
    if (!ok) return;
    const auto* bytes = reinterpret_cast<const uint8_t*>(load->data.data());
    auto header = Image::headerOfData(bytes, load->data.size());
    // The size is read before the pixels are: a picture that would unpack into more than a page can hold
    // is never decoded.
    if (!header || header->pixelWidth <= 0 || header->pixelHeight <= 0 || header->pixelWidth > kMaximumPictureSide ||
        header->pixelHeight > kMaximumPictureSide)
        return;
    auto picture = Image::fromData(bytes, load->data.size());
    if (!picture) return;
    pictures_[load->source] = std::move(picture);
    pieces_.clear();
    piecesWidth_ = -1;
    setNeedsDisplay();
}

std::shared_ptr<Image> WebView::pictureFor(const std::string& source) const {
    auto it = pictures_.find(source);
    return it == pictures_.end() ? nullptr : it->second;
}

std::vector<Rect> WebView::pictureRects() const {
    std::vector<Rect> out;
    for (const Piece& piece : pieces())
        if (piece.picture) out.push_back(offset(Rect({0, 0}, piece.pictureSize), piece.y, document_.margins()));
    return out;
}

void WebView::stopLoading() {
    auto keep = sharedAs<WebView>();
    cancelPictures();
    cancelFrames();
    if (!mainFrame_) return;
    auto frame = std::move(mainFrame_);
    mainFrame_.reset();
    if (frame->connection) frame->connection->cancel();
    if (auto d = delegate())
        d->webViewDidFailLoadWithError(*this,
                                       loadError(foundation::kUrlConnectionErrorDomain, foundation::kUrlErrorCancelled,
                                                 "cancelled", frame->request.url));
}

bool WebView::isLoading() const {
    return mainFrame_ != nullptr || !subframes_.empty();
}

const std::vector<WebView::Piece>& WebView::pieces() const {
    const WebViewMargins& margins = document_.margins();
    double width = std::max(1.0, bounds().size.width - margins.left - margins.right);
    if (piecesWidth_ == width && !pieces_.empty()) return pieces_;
    pieces_.clear();
    piecesWidth_ = width;
    const AttributedString& text = document_.text();
    double y = 0;
    auto addText = [&](size_t from, size_t to) {
        if (to <= from) return;
        Piece piece;
        piece.range = {from, to - from};
        TextLayoutOptions options;
        options.width = width;
        piece.text = std::make_unique<TextLayout>(text.substring(piece.range), options);
        piece.y = y;
        piece.height = piece.text->size().height;
        y += piece.height;
        pieces_.push_back(std::move(piece));
    };
    size_t cursor = 0;
    for (const WebViewBox& box : document_.boxes()) {
        auto picture = box.kind == WebViewBox::Kind::Image ? pictureFor(box.source) : nullptr;
        if (!picture || box.range.location < cursor) continue;
        // The picture takes its box's line: the line breaks around the box go with it.
        size_t before = box.range.location;
        if (before > cursor && isLineBreak(text, before - 1)) --before;
        addText(cursor, before);
        Piece piece;
        piece.range = box.range;
        piece.picture = picture;
        Size size = pictureSize(box, picture->size(), width);
        piece.pictureSize = size;
        piece.y = y;
        piece.height = size.height;
        y += piece.height;
        pieces_.push_back(std::move(piece));
        cursor = box.range.location + box.range.length;
        if (isLineBreak(text, cursor)) ++cursor;
    }
    addText(cursor, text.length());
    return pieces_;
}

double WebView::documentHeight() const {
    const WebViewMargins& margins = document_.margins();
    if (document_.text().empty()) return margins.top + margins.bottom;
    const auto& all = pieces();
    if (all.empty()) return margins.top + margins.bottom;
    return std::ceil(all.back().y + all.back().height) + margins.top + margins.bottom;
}

std::string WebView::firstLinkHref() const {
    const auto& links = document_.links();
    return links.empty() ? std::string() : links.front().href;
}

std::vector<Rect> WebView::rectsForLink(size_t index) const {
    std::vector<Rect> out;
    if (index >= document_.links().size()) return out;
    const std::string& href = document_.links()[index].href;
    // The n-th link's characters are the n-th run carrying a link of that address.
    size_t seen = 0;
    bool found = false;
    const AttributedString& text = document_.text();
    text.enumerateAttribute(attr::Link, {0, text.length()}, [&](const AttributeValue* value, TextRange range) {
        if (found || !value || !std::get_if<std::string>(value)) return;
        if (seen++ < index) return;
        found = true;
        if (*std::get_if<std::string>(value) != href) return;
        for (const Piece& piece : pieces()) {
            size_t from = std::max(range.location, piece.range.location);
            size_t to = std::min(range.location + range.length, piece.range.location + piece.range.length);
            if (from >= to) continue;
            if (piece.picture) {
                out.push_back(offset(Rect({0, 0}, piece.pictureSize), piece.y, document_.margins()));
                continue;
            }
            for (Rect r : piece.text->rectsForRange({from - piece.range.location, to - from}))
                out.push_back(offset(r, piece.y, document_.margins()));
        }
    });
    return out;
}

bool WebView::tapAt(Point p) {
    if (document_.text().empty()) return false;
    Point inPage{p.x - document_.margins().left, p.y - document_.margins().top};
    size_t index = kTextNotFound;
    for (const Piece& piece : pieces()) {
        if (inPage.y < piece.y || inPage.y >= piece.y + piece.height) continue;
        if (piece.picture) {
            if (inPage.x >= 0 && inPage.x < piece.pictureSize.width) index = piece.range.location;
            break;
        }
        Point inText{inPage.x, inPage.y - piece.y};
        size_t at = piece.text->characterIndexAtPoint(inText);
        if (at == kTextNotFound) break;
        // The character must lie under the point, not merely be the nearest on its line.
        for (const Rect& r : piece.text->rectsForRange({at, 1}))
            if (r.contains(inText)) index = piece.range.location + at;
        break;
    }
    if (index == kTextNotFound) return false;
    auto link = document_.text().attributeAt(attr::Link, index);
    const std::string* href = link ? std::get_if<std::string>(&*link) : nullptr;
    if (!href || href->empty()) return false;
    // A link never runs code.
    if (foundation::urlScheme(*href) == "javascript") return false;
    navigate(UrlRequest::get(*href), WebViewNavigationTypeLinkClicked, false);
    return true;
}

namespace {

// What a box says of its source: the file's name, not the whole address (which would run over lines).
std::string boxCaption(const WebViewBox& box) {
    std::string name = box.source;
    if (auto cut = name.find_first_of("?#"); cut != std::string::npos) name.resize(cut);
    while (!name.empty() && name.back() == '/')
        name.pop_back();
    if (auto slash = name.rfind('/'); slash != std::string::npos) name = name.substr(slash + 1);
    if (name.empty()) name = box.source.empty() ? "(none)" : box.source;
    return std::string(box.kind == WebViewBox::Kind::Frame ? "\u25A2 " : "\u25A3 ") + name;
}

} // namespace

void WebView::drawRect(GraphicsContext& context, const Rect&) {
    if (document_.text().empty()) return;
    const WebViewMargins& margins = document_.margins();
    for (const Piece& piece : pieces()) {
        if (piece.picture) {
            context.drawImage(*piece.picture, offset(Rect({0, 0}, piece.pictureSize), piece.y, margins));
            continue;
        }
        piece.text->draw(context.cairo(), {margins.left, margins.top + piece.y});
        // Each picture not (yet) come and each frame is one framed box over the lines its label takes, with a
        // one-line caption.
        context.saveGState();
        context.setLineWidth(1);
        const double width = std::max(0.0, bounds().width() - margins.left - margins.right);
        for (const WebViewBox& box : document_.boxes()) {
            size_t from = std::max(box.range.location, piece.range.location);
            size_t to = std::min(box.range.location + box.range.length, piece.range.location + piece.range.length);
            if (from >= to) continue;
            auto rects = piece.text->rectsForRange({from - piece.range.location, to - from});
            if (rects.empty()) continue;
            Rect area = rects.front();
            for (const Rect& r : rects)
                area = area.unionWith(r);
            if (rects.size() > 1) area = Rect(0, area.y(), width, area.height());
            area = offset(area, piece.y, margins);
            area = Rect(area.x() - 3, area.y() - 2, area.width() + 6, area.height() + 4);
            context.setFillColor(Color::rgba(0.93, 0.94, 0.96));
            context.fillRect(area);
            context.setStrokeColor(Color::rgba(0.55, 0.55, 0.6));
            context.strokeRect(area);
            TextLayoutOptions options;
            options.width = std::max(0.0, area.width() - 12);
            options.numberOfLines = 1;
            options.lineBreakMode = LineBreakMode::TruncateMiddle;
            options.defaultFont = Font::systemFont(13);
            options.defaultColor = Color::rgba(0.35, 0.37, 0.42);
            TextLayout caption(boxCaption(box), options.defaultFont, options);
            caption.draw(context.cairo(),
                         {area.x() + 6, area.y() + std::max(0.0, (area.height() - caption.size().height) / 2)});
        }
        context.restoreGState();
    }
}

Size WebView::sizeThatFits(Size size) const {
    return {size.width, documentHeight()};
}

void WebView::boundsSizeDidChange(Size) {
    pieces_.clear();
    piecesWidth_ = -1;
    setNeedsDisplay();
}

} // namespace velkora::ui
