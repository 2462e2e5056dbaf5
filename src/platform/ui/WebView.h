// A web view without a script engine: it loads pages over the URL connection, one hop at a time so its
// delegate is asked about every redirect, keeps a history to go back through, loads the page's frames and
// pictures, and draws the page as laid-out text with its pictures between the lines. Callers read the page through
// named questions (title, links, the body's inner HTML, the height) where a device would run a script.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/ui/Image.h"
#include "platform/ui/TextLayout.h"
#include "platform/ui/View.h"
#include "platform/ui/WebViewDocument.h"

namespace velkora::ui {

// Failures of a load that are the web view's own (not the connection's) carry this domain.
inline constexpr const char* kWebKitErrorDomain = "WebKitErrorDomain";
// A load ended by a policy: a hop its delegate refused, or an address of another application's scheme.
inline constexpr int64_t kWebKitErrorFrameLoadInterrupted = 102;

enum WebViewNavigationType : int {
    WebViewNavigationTypeLinkClicked = 0,
    WebViewNavigationTypeFormSubmitted = 1,
    WebViewNavigationTypeBackForward = 2,
    WebViewNavigationTypeReload = 3,
    WebViewNavigationTypeFormResubmitted = 4,
    WebViewNavigationTypeOther = 5,
};

class WebView;

// Every frame's load is announced: started, then finished or failed. The main frame's finish comes before
// its frames start, so a delegate that sees isLoading() still true knows more is on its way.
class WebViewDelegate {
public:
    virtual ~WebViewDelegate() = default;
    virtual bool webViewShouldStartLoadWithRequest(WebView&, const foundation::UrlRequest&, int /*navigationType*/) {
        return true;
    }
    virtual void webViewDidStartLoad(WebView&) {}
    virtual void webViewDidFinishLoad(WebView&) {}
    virtual void webViewDidFailLoadWithError(WebView&, const foundation::ErrorPtr&) {}
};

class WebView : public View {
public:
    static constexpr int kMaximumRedirects = 20;
    // The page is level 1; frames inside frames load down to this level and are only drawn below it.
    static constexpr int kMaximumFrameLevels = 3;
    // White space around the drawn text when the page's body names none.
    static constexpr double kMargin = WebViewMargins::kDefault;
    // What one page's pictures may take: so many of them, each up to this many bytes and pixels a side.
    // A picture past a limit keeps its box.
    static constexpr size_t kMaximumPictures = 24;
    static constexpr size_t kMaximumPictureBytes = 4 * 1024 * 1024;
    static constexpr int kMaximumPictureSide = 4096;

    explicit WebView(const Rect& frame = {});
    ~WebView() override;
    static std::shared_ptr<WebView> create(const Rect& frame = {}) { return std::make_shared<WebView>(frame); }
    const char* className() const override { return "WebView"; }

    // Not retained.
    void setDelegate(const std::shared_ptr<WebViewDelegate>& delegate) { delegate_ = delegate; }
    std::shared_ptr<WebViewDelegate> delegate() const { return delegate_.lock(); }

    void loadRequest(const foundation::UrlRequest& request);
    // The page from a string; relative links resolve against `baseUrl` (empty: none).
    void loadHTMLString(const std::string& html, const std::string& baseUrl = {});
    // Ends every load in flight; the delegate hears failure -999 for the page when it was still loading.
    void stopLoading();
    bool isLoading() const;
    bool canGoBack() const { return historyIndex_ > 0; }
    void goBack();
    // The request of the page shown (or being loaded).
    const foundation::UrlRequest& request() const { return currentRequest_; }
    // The HTTP status the page shown came with; 0 for a page from a string. An error status's page is
    // still shown, as the server wrote it.
    long statusCode() const { return statusCode_; }

    // Kept for the callers that set them; every detector and scaling choice draws the same here.
    bool scalesPageToFit() const { return scalesPageToFit_; }
    void setScalesPageToFit(bool s) { scalesPageToFit_ = s; }
    unsigned dataDetectorTypes() const { return dataDetectorTypes_; }
    void setDataDetectorTypes(unsigned types) { dataDetectorTypes_ = types; }

    // In place of scripts.
    std::string documentTitle() const { return document_.title(); }
    std::string bodyInnerHtml() const { return document_.bodyInnerHtml(); }
    // The height of the page at the view's width: the laid-out text and the margins.
    double documentHeight() const;
    // The first link's address, white space around it removed; empty when the page has none.
    std::string firstLinkHref() const;
    // Sends the page to an address (resolved against the page's), as navigation of type 5.
    void setLocation(const std::string& url);
    const std::vector<WebViewLink>& links() const { return document_.links(); }
    const WebViewDocument& document() const { return document_; }
    // Pictures of the page asked for and not yet come (nor failed). They are no part of isLoading(): the
    // page is there without them, and its delegate hears nothing of them.
    bool picturesLoading() const { return !pictureLoads_.empty(); }
    // The picture drawn for an image of the page; null until it has come, or when it could not.
    std::shared_ptr<Image> pictureFor(const std::string& source) const;
    // Where the pictures that came are drawn, in the view's coordinates, in the page's order: at the size
    // the page gives them, within its margins.
    std::vector<Rect> pictureRects() const;

    // The boxes (in the view's coordinates) where a link is drawn, one per line part.
    std::vector<Rect> rectsForLink(size_t index) const;
    // Follows the link drawn under a point, as a tap does; false when no link is there.
    bool tapAt(Point p);

    void drawRect(GraphicsContext& context, const Rect& rect) override;
    Size sizeThatFits(Size size) const override;

protected:
    void boundsSizeDidChange(Size oldSize) override;

private:
    struct Frame;
    struct Loader;
    struct PictureLoad;
    struct PictureLoader;
    // The page as drawn: runs of text, each laid out on its own, and the pictures that came between them.
    struct Piece {
        TextRange range; // the characters of the document's text the piece stands for
        std::unique_ptr<TextLayout> text;
        std::shared_ptr<Image> picture;
        Size pictureSize;
        double y = 0; // from the top of the drawn page, margins aside
        double height = 0;
    };
    struct HistoryEntry {
        foundation::UrlRequest request;
        bool isHtml = false;
        std::string html;
    };

    void navigate(foundation::UrlRequest request, int navigationType, bool fromHistory);
    void startLoad(const std::shared_ptr<Frame>& frame);
    void hop(const std::shared_ptr<Frame>& frame, const foundation::UrlResponse& response);
    void frameFinished(const std::shared_ptr<Frame>& frame);
    void frameFailed(const std::shared_ptr<Frame>& frame, const foundation::ErrorPtr& error);
    void showDocument(WebViewDocument document, const HistoryEntry& entry, bool fromHistory);
    void startFrames(const WebViewDocument& document, int level);
    void cancelFrames();
    void endMainLoad();
    void startPictures();
    void cancelPictures();
    void pictureFinished(const std::shared_ptr<PictureLoad>& load, bool ok);
    const std::vector<Piece>& pieces() const;

    std::weak_ptr<WebViewDelegate> delegate_;
    foundation::UrlRequest currentRequest_;
    long statusCode_ = 0;
    WebViewDocument document_;
    std::shared_ptr<Frame> mainFrame_;
    std::vector<std::shared_ptr<Frame>> subframes_;
    std::vector<HistoryEntry> history_;
    int historyIndex_ = -1;
    bool scalesPageToFit_ = false;
    unsigned dataDetectorTypes_ = 0;
    std::vector<std::shared_ptr<PictureLoad>> pictureLoads_;
    std::map<std::string, std::shared_ptr<Image>> pictures_;
    mutable std::vector<Piece> pieces_;
    mutable double piecesWidth_ = -1;
};

} // namespace velkora::ui
