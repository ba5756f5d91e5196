#pragma once

#include <QWidget>

namespace quillon {

// The control's property page: a single page, "General", that shows what the control is and
// changes nothing.
class QuillonPropPage : public QWidget {
    Q_OBJECT

public:
    explicit QuillonPropPage(QWidget* parent = nullptr);
};

} // namespace quillon
