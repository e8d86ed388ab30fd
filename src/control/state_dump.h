#pragma once

#include "surface/recording_ui_services.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class Control;

// Everything the control shows, as one JSON object on one line: the lists, labels, buttons,
// options, text boxes, progress bar, pointer, notice, the open popup menu and the message
// boxes given.
QString dumpState(const Control& control, const std::optional<QStringList>& openMenu,
                  const std::vector<RecordingUiServices::Message>& messages);
