// The view: geometry (frame, bounds, centre, transform), appearance, the subview tree, point conversion,
// hit testing, autoresizing, the layout pass and the display pass; with its layer.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Responder.h"

namespace velkora::ui {

class GestureRecognizer;
class GraphicsContext;
class LayoutConstraint;
class View;
class ViewController;
class Window;

using ViewPtr = std::shared_ptr<View>;

// Bits of a view's autoresizing mask, with the platform's values (interface files carry them as numbers).
enum AutoresizingMask : unsigned {
    AutoresizingNone = 0,
    AutoresizingFlexibleLeftMargin = 1 << 0,
    AutoresizingFlexibleWidth = 1 << 1,
    AutoresizingFlexibleRightMargin = 1 << 2,
    AutoresizingFlexibleTopMargin = 1 << 3,
    AutoresizingFlexibleHeight = 1 << 4,
    AutoresizingFlexibleBottomMargin = 1 << 5,
};

enum class ContentMode {
    ScaleToFill = 0,
    ScaleAspectFit,
    ScaleAspectFill,
    Redraw,
    Center,
    Top,
    Bottom,
    Left,
    Right,
    TopLeft,
    TopRight,
    BottomLeft,
    BottomRight,
};

// The parameters of an animation added to a layer under a key. The layer only keeps them: whoever runs
// animations reads them back (a spinning image, a pulsing badge).
struct LayerAnimation {
    std::string keyPath;  // "transform.rotation.z", "opacity", "position", ...
    foundation::Value fromValue;
    foundation::Value toValue;
    foundation::Value byValue;
    double duration = 0.25;
    double beginTime = 0;
    double repeatCount = 0;  // a huge number for "forever"
    bool autoreverses = false;
    bool removedOnCompletion = true;
    bool cumulative = false;
    std::string timingFunction;            // "linear", "easeIn", "easeOut", "easeInEaseOut", or empty
    std::string fillMode;                  // "removed", "forwards", ...
    std::vector<LayerAnimation> animations;  // the members of a group
};

class Layer {
public:
    double cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(double r) { cornerRadius_ = r; }
    double borderWidth() const { return borderWidth_; }
    void setBorderWidth(double w) { borderWidth_ = w; }
    Color borderColor() const { return borderColor_; }
    void setBorderColor(Color c) { borderColor_ = c; }
    bool masksToBounds() const { return masksToBounds_; }
    void setMasksToBounds(bool m) { masksToBounds_ = m; }
    Color shadowColor() const { return shadowColor_; }
    void setShadowColor(Color c) { shadowColor_ = c; }
    double shadowOpacity() const { return shadowOpacity_; }
    void setShadowOpacity(double o) { shadowOpacity_ = o; }
    Size shadowOffset() const { return shadowOffset_; }
    void setShadowOffset(Size s) { shadowOffset_ = s; }
    double shadowRadius() const { return shadowRadius_; }
    void setShadowRadius(double r) { shadowRadius_ = r; }
    double zPosition() const { return zPosition_; }
    void setZPosition(double z) { zPosition_ = z; }
    bool shouldRasterize() const { return shouldRasterize_; }
    void setShouldRasterize(bool r) { shouldRasterize_ = r; }

    // Adding under a key that is in use replaces the earlier animation.
    void addAnimation(LayerAnimation animation, const std::string& key);
    const LayerAnimation* animationForKey(const std::string& key) const;
    void removeAnimationForKey(const std::string& key);
    void removeAllAnimations();
    std::vector<std::string> animationKeys() const;

    View* view() const { return view_; }

private:
    friend class View;
    View* view_ = nullptr;
    double cornerRadius_ = 0;
    double borderWidth_ = 0;
    Color borderColor_ = Color::black();
    bool masksToBounds_ = false;
    Color shadowColor_ = Color::black();
    double shadowOpacity_ = 0;
    Size shadowOffset_{0, -3};
    double shadowRadius_ = 3;
    double zPosition_ = 0;
    bool shouldRasterize_ = false;
    std::vector<std::pair<std::string, LayerAnimation>> animations_;
};

// How the display pass lets the renderer position its context around each view's drawing.
struct DisplayHooks {
    std::function<void(View&, GraphicsContext&)> willDraw;
    std::function<void(View&, GraphicsContext&)> didDraw;
};

// Views are always owned by a shared pointer: make them with create() or std::make_shared. A superview
// owns its subviews; the back pointer to the superview is plain and is cleared on removal.
class View : public Responder {
public:
    View() : View(Rect{}) {}
    explicit View(const Rect& frame);
    ~View() override;

    static std::shared_ptr<View> create(const Rect& frame = {}) { return std::make_shared<View>(frame); }

    const char* className() const override { return "View"; }
    Responder* nextResponder() const override;

    // Geometry. The frame is derived from the centre, the bounds and the transform: it is the bounding box
    // of the transformed bounds. Setting a frame sets the centre and, with a transform, the bounds size
    // that gives that bounding box (a quarter turn swaps width and height).
    Rect frame() const;
    virtual void setFrame(const Rect& frame);
    Rect bounds() const { return bounds_; }
    virtual void setBounds(const Rect& bounds);
    Point center() const { return center_; }
    void setCenter(Point c);
    const AffineTransform& transform() const { return transform_; }
    void setTransform(const AffineTransform& t);

    // Appearance.
    bool isHidden() const { return hidden_; }
    virtual void setHidden(bool hidden);
    double alpha() const { return alpha_; }
    void setAlpha(double a);
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool o) { opaque_ = o; }
    // Clear by default: no background is drawn.
    Color backgroundColor() const { return backgroundColor_; }
    virtual void setBackgroundColor(Color c);
    Color tintColor() const;
    void setTintColor(Color c);
    int tag() const { return tag_; }
    void setTag(int t) { tag_ = t; }
    bool clipsToBounds() const { return layer_.masksToBounds(); }
    void setClipsToBounds(bool c) { layer_.setMasksToBounds(c); }
    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool e) { userInteractionEnabled_ = e; }
    bool isMultipleTouchEnabled() const { return multipleTouchEnabled_; }
    void setMultipleTouchEnabled(bool e) { multipleTouchEnabled_ = e; }
    bool isExclusiveTouch() const { return exclusiveTouch_; }
    void setExclusiveTouch(bool e) { exclusiveTouch_ = e; }
    ContentMode contentMode() const { return contentMode_; }
    void setContentMode(ContentMode m);
    Layer& layer() { return layer_; }
    const Layer& layer() const { return layer_; }
    // Pixels per point of the view's content: the main screen's scale until set.
    double contentScaleFactor() const;
    void setContentScaleFactor(double factor);

    // The tree.
    View* superview() const { return superview_; }
    const std::vector<ViewPtr>& subviews() const { return subviews_; }
    // The window at the root of the tree, or null.
    Window* window() const;
    // Adding a view that has another superview moves it; adding a view to itself or to one of its own
    // descendants is refused (logged).
    void addSubview(const ViewPtr& view);
    void insertSubview(const ViewPtr& view, size_t index);
    void insertSubviewAbove(const ViewPtr& view, const View* sibling);
    void insertSubviewBelow(const ViewPtr& view, const View* sibling);
    void removeFromSuperview();
    void bringSubviewToFront(const View* view);
    void sendSubviewToBack(const View* view);
    void exchangeSubviews(size_t index1, size_t index2);
    bool isDescendantOfView(const View* view) const;  // true for the view itself
    // Depth first, the view itself included.
    View* viewWithTag(int tag);
    ViewPtr sharedView() { return sharedAs<View>(); }
    // The controller whose view this is, if any.
    ViewController* viewController() const { return viewController_; }

    // Hooks of the tree.
    virtual void willMoveToSuperview(View* /*newSuperview*/) {}
    virtual void didMoveToSuperview() {}
    virtual void willMoveToWindow(Window* /*newWindow*/) {}
    virtual void didMoveToWindow() {}
    virtual void didAddSubview(View* /*subview*/) {}
    virtual void willRemoveSubview(View* /*subview*/) {}

    // Point conversion. A null view means the window of this view (or the root of a detached tree).
    Point convertPointToView(Point p, const View* view) const;
    Point convertPointFromView(Point p, const View* view) const;
    Rect convertRectToView(const Rect& r, const View* view) const;
    Rect convertRectFromView(const Rect& r, const View* view) const;
    // From this view's coordinates to the screen's fixed coordinates (through its window), and back.
    Point convertPointToScreen(Point p) const;
    Point convertPointFromScreen(Point p) const;

    // Hit testing: the deepest visible, interactive descendant containing the point (in this view's
    // coordinates); hidden views, views of alpha below 0.01 and non-interactive views are passed over
    // with their subviews.
    virtual View* hitTest(Point p);
    virtual bool pointInside(Point p) const;

    // Autoresizing: when this view's bounds size changes, subviews are moved and resized by their masks.
    unsigned autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(unsigned mask) { autoresizingMask_ = mask; }
    bool autoresizesSubviews() const { return autoresizesSubviews_; }
    void setAutoresizesSubviews(bool a) { autoresizesSubviews_ = a; }

    // Sizing.
    virtual Size sizeThatFits(Size size) const;
    // Resizes the view to sizeThatFits of its bounds size, keeping the frame's origin.
    void sizeToFit();
    // No intrinsic size in a dimension is -1.
    virtual Size intrinsicContentSize() const { return {-1, -1}; }

    // Layout: setNeedsLayout marks the view; layoutIfNeeded lays out every marked view of the subtree,
    // parents first. Views in a window are also laid out on the next turn of the main run loop.
    void setNeedsLayout();
    bool needsLayout() const { return needsLayout_; }
    void layoutIfNeeded();
    // Subclasses that override it call View::layoutSubviews() first, as it applies the constraint layout.
    virtual void layoutSubviews();
    // Set by the constraint engine: applies the constraints of a view's subtree during its layoutSubviews.
    using LayoutHook = std::function<void(View&)>;
    static void setConstraintLayoutHook(LayoutHook hook);

    // Constraint storage; the constraint engine owns their meaning.
    const std::vector<std::shared_ptr<LayoutConstraint>>& constraints() const { return constraints_; }
    void addConstraint(const std::shared_ptr<LayoutConstraint>& constraint);
    void removeConstraint(const LayoutConstraint* constraint);
    void removeAllConstraints() { constraints_.clear(); }
    bool translatesAutoresizingMaskIntoConstraints() const { return translatesAutoresizingMask_; }
    void setTranslatesAutoresizingMaskIntoConstraints(bool t) { translatesAutoresizingMask_ = t; }

    // Display: setNeedsDisplay marks the view; the display pass calls drawRect on every marked, visible
    // view of the subtree, parents before children, and clears the marks. Returns how many views drew.
    void setNeedsDisplay();
    bool needsDisplay() const { return needsDisplay_; }
    int displayIfNeeded(GraphicsContext& context, const DisplayHooks& hooks = {});
    virtual void drawRect(GraphicsContext& /*context*/, const Rect& /*rect*/) {}

    // Gesture recognisers, kept alive by the view; a recogniser belongs to one view at a time.
    // (Defined with the recognisers.)
    void addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);
    void removeGestureRecognizer(const GestureRecognizer* recognizer);
    const std::vector<std::shared_ptr<GestureRecognizer>>& gestureRecognizers() const { return gestureRecognizers_.items; }

    // Block animations (defined with the animator): final values are set at once; the completion runs
    // once the run loop's clock passes the end, with false when the animation was removed first.
    static void animateWithDuration(double duration, std::function<void()> animations,
                                    std::function<void(bool)> completion = {});
    static void animateWithDuration(double duration, double delay, unsigned options, std::function<void()> animations,
                                    std::function<void(bool)> completion = {});

    // Resigns the first responder if it is this view or one of its descendants.
    bool endEditing(bool force);

    // A text for the tree dump (labels, buttons and text inputs answer theirs).
    virtual std::string dumpText() const { return {}; }
    // One line per view, indented by depth: class, frame, "hidden" when hidden, and the text in quotes.
    std::string dumpTree() const;

protected:
    // Called after the bounds size changed (frame or bounds), before autoresizing the subviews.
    virtual void boundsSizeDidChange(Size /*oldSize*/) {}

private:
    friend class ViewController;
    friend class Window;
    void setSuperviewInternal(View* superview);
    void windowWillChange(Window* newWindow);
    void windowDidChange();
    void resizeSubviewsFrom(Size oldSize);
    void resizeWithOldSuperviewSize(Size oldSize, Size newSize);
    void applyBoundsSizeChange(Size oldSize);
    void scheduleWindowLayout();
    Point toSuperview(Point p) const;
    Point fromSuperview(Point p) const;
    void dumpInto(std::string& out, int depth) const;
    int displayInto(GraphicsContext& context, const DisplayHooks& hooks);

    Point center_;
    Rect bounds_;
    AffineTransform transform_;
    bool hidden_ = false;
    double alpha_ = 1;
    bool opaque_ = true;
    Color backgroundColor_ = Color::clear();
    bool hasTintColor_ = false;
    Color tintColor_;
    int tag_ = 0;
    bool userInteractionEnabled_ = true;
    bool multipleTouchEnabled_ = false;
    bool exclusiveTouch_ = false;
    ContentMode contentMode_ = ContentMode::ScaleToFill;
    double contentScaleFactor_ = 0; // 0: the screen's
    unsigned autoresizingMask_ = AutoresizingNone;
    bool autoresizesSubviews_ = true;
    bool translatesAutoresizingMask_ = true;
    bool needsLayout_ = true;
    bool needsDisplay_ = true;
    Layer layer_;
    View* superview_ = nullptr;
    std::vector<ViewPtr> subviews_;
    std::vector<std::shared_ptr<LayoutConstraint>> constraints_;
    ViewController* viewController_ = nullptr;
    // Clears the recognisers' back pointers when the view goes.
    struct GestureRecognizerList {
        std::vector<std::shared_ptr<GestureRecognizer>> items;
        GestureRecognizerList() = default;
        GestureRecognizerList(const GestureRecognizerList&) = delete;
        GestureRecognizerList& operator=(const GestureRecognizerList&) = delete;
        ~GestureRecognizerList();
    };
    GestureRecognizerList gestureRecognizers_;

protected:
    // Windows start hidden; they set this before anything observes them.
    void initHidden(bool hidden) { hidden_ = hidden; }
};

}  // namespace velkora::ui
