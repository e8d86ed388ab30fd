#pragma once

#include "controls/child_control.h"

#include <QStringList>
#include <functional>
#include <vector>

// A popup menu: a caption and its items; choosing an item runs that item's click.
class PopupMenu : public ChildControl {
    Q_OBJECT
public:
    struct Item {
        QString name;
        QString caption;
        std::function<void()> onClick;
    };
    PopupMenu(QString name, QString caption) : ChildControl(std::move(name)), caption_(std::move(caption)) {}
    const QString& caption() const { return caption_; }
    std::vector<Item>& items() { return items_; }
    const std::vector<Item>& items() const { return items_; }
    QStringList captions() const {
        QStringList result;
        for (const auto& item : items_) result << item.caption;
        return result;
    }
    bool choose(const QString& caption) const {
        for (const auto& item : items_)
            if (item.caption == caption) {
                if (item.onClick) item.onClick();
                return true;
            }
        return false;
    }

private:
    QString caption_;
    std::vector<Item> items_;
};
