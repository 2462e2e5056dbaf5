// The table cell: content view with its text, detail and image, accessory, selection and editing state.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace velkora::ui {

// The platform's values.
enum class TableViewCellStyle { Default = 0, Value1, Value2, Subtitle };
enum class TableViewCellSelectionStyle { None = 0, Blue, Gray, Default };
enum class TableViewCellAccessoryType { None = 0, DisclosureIndicator, DetailDisclosureButton, Checkmark };
enum class TableViewCellEditingStyle { None = 0, Delete, Insert };

class TableViewCell : public View {
public:
    TableViewCell() : TableViewCell(TableViewCellStyle::Default, "") {}
    TableViewCell(TableViewCellStyle style, std::string reuseIdentifier);
    static std::shared_ptr<TableViewCell> create(TableViewCellStyle style = TableViewCellStyle::Default,
                                                 std::string reuseIdentifier = {}) {
        return std::make_shared<TableViewCell>(style, std::move(reuseIdentifier));
    }
    const char* className() const override { return "TableViewCell"; }

    TableViewCellStyle style() const { return style_; }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    // For cells made from interface files, which name their identifier as a property.
    void setReuseIdentifier(std::string id) { reuseIdentifier_ = std::move(id); }

    const ViewPtr& contentView() const { return contentView_; }
    // Made on first use, inside the content view.
    const std::shared_ptr<Label>& textLabel();
    // Null for the default style, which has no detail.
    std::shared_ptr<Label> detailTextLabel();
    const std::shared_ptr<ImageView>& imageView();

    const ViewPtr& backgroundView() const { return backgroundView_; }
    void setBackgroundView(ViewPtr v);
    const ViewPtr& selectedBackgroundView() const { return selectedBackgroundView_; }
    void setSelectedBackgroundView(ViewPtr v);
    TableViewCellAccessoryType accessoryType() const { return accessoryType_; }
    void setAccessoryType(TableViewCellAccessoryType t);
    const ViewPtr& accessoryView() const { return accessoryView_; }
    void setAccessoryView(ViewPtr v);
    TableViewCellSelectionStyle selectionStyle() const { return selectionStyle_; }
    void setSelectionStyle(TableViewCellSelectionStyle s) { selectionStyle_ = s; }
    int indentationLevel() const { return indentationLevel_; }
    void setIndentationLevel(int l) { indentationLevel_ = l; setNeedsLayout(); }
    double indentationWidth() const { return indentationWidth_; }
    void setIndentationWidth(double w) { indentationWidth_ = w; setNeedsLayout(); }

    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected, bool animated = false);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted, bool animated = false);
    bool isEditing() const { return editing_; }
    virtual void setEditing(bool editing, bool animated = false);
    bool showingDeleteConfirmation() const { return showingDeleteConfirmation_; }
    void setShowingDeleteConfirmation(bool s) { showingDeleteConfirmation_ = s; }

    // Before the table hands out a recycled cell.
    virtual void prepareForReuse() {}

    void layoutSubviews() override;

private:
    TableViewCellStyle style_;
    std::string reuseIdentifier_;
    ViewPtr contentView_;
    std::shared_ptr<Label> textLabel_;
    std::shared_ptr<Label> detailTextLabel_;
    std::shared_ptr<ImageView> imageView_;
    ViewPtr backgroundView_;
    ViewPtr selectedBackgroundView_;
    TableViewCellAccessoryType accessoryType_ = TableViewCellAccessoryType::None;
    ViewPtr accessoryView_;
    TableViewCellSelectionStyle selectionStyle_ = TableViewCellSelectionStyle::Blue;
    int indentationLevel_ = 0;
    double indentationWidth_ = 10;
    bool selected_ = false;
    bool highlighted_ = false;
    bool editing_ = false;
    bool showingDeleteConfirmation_ = false;
};

using TableViewCellPtr = std::shared_ptr<TableViewCell>;

}  // namespace velkora::ui
