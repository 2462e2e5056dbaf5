#include "platform/ui/TableViewCell.h"

namespace velkora::ui {

TableViewCell::TableViewCell(TableViewCellStyle style, std::string reuseIdentifier)
    : View(Rect(0, 0, 320, 44)), style_(style), reuseIdentifier_(std::move(reuseIdentifier)) {
    contentView_ = View::create(bounds());
    contentView_->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
    addSubview(contentView_);
    setBackgroundColor(Color::whiteColor());
}

const std::shared_ptr<Label>& TableViewCell::textLabel() {
    if (!textLabel_) {
        textLabel_ = Label::create();
        contentView_->addSubview(textLabel_);
        setNeedsLayout();
    }
    return textLabel_;
}

std::shared_ptr<Label> TableViewCell::detailTextLabel() {
    if (style_ == TableViewCellStyle::Default) return nullptr;
    if (!detailTextLabel_) {
        detailTextLabel_ = Label::create();
        detailTextLabel_->setTextColor(Color::white(0.5));
        contentView_->addSubview(detailTextLabel_);
        setNeedsLayout();
    }
    return detailTextLabel_;
}

const std::shared_ptr<ImageView>& TableViewCell::imageView() {
    if (!imageView_) {
        imageView_ = ImageView::create();
        contentView_->addSubview(imageView_);
        setNeedsLayout();
    }
    return imageView_;
}

void TableViewCell::setBackgroundView(ViewPtr v) {
    if (backgroundView_) backgroundView_->removeFromSuperview();
    backgroundView_ = std::move(v);
    if (backgroundView_) insertSubview(backgroundView_, 0);
    setNeedsLayout();
}

void TableViewCell::setSelectedBackgroundView(ViewPtr v) {
    if (selectedBackgroundView_) selectedBackgroundView_->removeFromSuperview();
    selectedBackgroundView_ = std::move(v);
    setNeedsLayout();
    if (selected_ || highlighted_) setSelected(selected_);
}

void TableViewCell::setAccessoryType(TableViewCellAccessoryType t) {
    accessoryType_ = t;
    setNeedsLayout();
}

void TableViewCell::setAccessoryView(ViewPtr v) {
    if (accessoryView_) accessoryView_->removeFromSuperview();
    accessoryView_ = std::move(v);
    if (accessoryView_) addSubview(accessoryView_);
    setNeedsLayout();
}

void TableViewCell::setSelected(bool selected, bool /*animated*/) {
    selected_ = selected;
    bool lit = (selected_ || highlighted_) && selectionStyle_ != TableViewCellSelectionStyle::None;
    // The selected background lies just above the background view, below the content.
    if (selectedBackgroundView_) {
        if (lit && selectedBackgroundView_->superview() != this) {
            selectedBackgroundView_->setFrame(bounds());
            insertSubviewBelow(selectedBackgroundView_, contentView_.get());
        } else if (!lit) {
            selectedBackgroundView_->removeFromSuperview();
        }
    }
    if (textLabel_) textLabel_->setHighlighted(lit);
    if (detailTextLabel_) detailTextLabel_->setHighlighted(lit);
    if (imageView_) imageView_->setHighlighted(lit);
    setNeedsDisplay();
}

void TableViewCell::setHighlighted(bool highlighted, bool animated) {
    highlighted_ = highlighted;
    setSelected(selected_, animated);
}

void TableViewCell::setEditing(bool editing, bool /*animated*/) {
    editing_ = editing;
    if (!editing) showingDeleteConfirmation_ = false;
    setNeedsLayout();
}

void TableViewCell::layoutSubviews() {
    View::layoutSubviews();
    Rect b = bounds();
    double accessoryWidth = 0;
    if (accessoryView_) {
        Rect a = accessoryView_->frame();
        accessoryWidth = a.width() + 10;
        accessoryView_->setFrame({b.maxX() - accessoryWidth, b.midY() - a.height() / 2, a.width(), a.height()});
    } else if (accessoryType_ != TableViewCellAccessoryType::None) {
        accessoryWidth = 33;
    }
    contentView_->setFrame({0, 0, b.width() - accessoryWidth, b.height()});
    if (backgroundView_) backgroundView_->setFrame(b);
    if (selectedBackgroundView_) selectedBackgroundView_->setFrame(b);

    // The built-in labels and image, when the cell uses them: image on the left, text beside it.
    Rect c = contentView_->bounds();
    double x = 15 + indentationLevel_ * indentationWidth_;
    if (imageView_ && imageView_->image()) {
        Size s = ImageView::sizeOfImage(imageView_->image());
        imageView_->setFrame({x, c.midY() - s.height / 2, s.width, s.height});
        x += s.width + 15;
    }
    double width = std::max(0.0, c.width() - x - 15);
    if (style_ == TableViewCellStyle::Subtitle && detailTextLabel_) {
        if (textLabel_) textLabel_->setFrame({x, c.midY() - 20, width, 20});
        detailTextLabel_->setFrame({x, c.midY(), width, 18});
    } else if (detailTextLabel_ && (style_ == TableViewCellStyle::Value1 || style_ == TableViewCellStyle::Value2)) {
        if (textLabel_) textLabel_->setFrame({x, 0, width / 2, c.height()});
        detailTextLabel_->setFrame({x + width / 2, 0, width / 2, c.height()});
        detailTextLabel_->setTextAlignment(style_ == TableViewCellStyle::Value1 ? TextAlignment::Right : TextAlignment::Left);
    } else if (textLabel_) {
        textLabel_->setFrame({x, 0, width, c.height()});
    }
}

}  // namespace velkora::ui
