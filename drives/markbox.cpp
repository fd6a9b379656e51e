#include "drives/markbox.h"

#include "drives/apperror.h"
#include "drives/texts.h"

namespace drives {

MarkBox::MarkBox(QWidget* parent) : QCheckBox(QStringLiteral(" "), parent) {}

int MarkBox::Value() const {
    switch (checkState()) {
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;
        default:
            return 0;
    }
}

void MarkBox::SetValue(int mark) {
    switch (mark) {
        case 0:
            setCheckState(Qt::Unchecked);
            break;
        case 1:
            setCheckState(Qt::Checked);
            break;
        case 2:
            setCheckState(Qt::PartiallyChecked);
            break;
        default:
            throw AppError{ErrInvalidPropertyValue, texts::InvalidPropertyValue};
    }
}

void MarkBox::nextCheckState() {
    setCheckState(checkState() == Qt::Unchecked ? Qt::Checked : Qt::Unchecked);
}

}  // namespace drives
