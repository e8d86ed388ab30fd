#pragma once

#include "controls/child_control.h"

// A caption the control sets.
class Label : public ChildControl {
    Q_OBJECT
public:
    Label(QString name, QString caption) : ChildControl(std::move(name)), caption_(std::move(caption)) {}
    const QString& caption() const { return caption_; }
    void setCaption(const QString& caption) {
        if (caption == caption_) return;
        caption_ = caption;
        emit changed();
    }

private:
    QString caption_;
};

using Frame = Label;  // a frame only carries a caption
