// A line-edit limit counted in Shift-JIS bytes, the unit the search list's
// file and fields are sized in: input that would take more bytes is refused
// as it is typed.
#pragma once

#include "acars/sjis.h"

#include <QValidator>

namespace varnesk {

class SjisLengthValidator : public QValidator {
public:
    SjisLengthValidator(size_t maxBytes, QObject* parent) : QValidator(parent), m_maxBytes(maxBytes) {}
    State validate(QString& input, int& /*pos*/) const override
    {
        return qstringToSjis(input).size() <= m_maxBytes ? Acceptable : Invalid;
    }

private:
    size_t m_maxBytes;
};

} // namespace varnesk
