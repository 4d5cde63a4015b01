// A line-edit limit counted in Shift-JIS bytes, the unit the search list's
// file and fields are sized in: input that would take more bytes is refused
// as it is typed. A field that wants capitals gets its letters upper-cased
// as they are typed or pasted.
#pragma once

#include "acars/sjis.h"

#include <QValidator>

namespace varnesk {

class SjisLengthValidator : public QValidator {
public:
    enum class Case { AsTyped, Upper };
    SjisLengthValidator(size_t maxBytes, QObject* parent, Case letters = Case::AsTyped)
        : QValidator(parent), m_maxBytes(maxBytes), m_letters(letters)
    {
    }
    State validate(QString& input, int& /*pos*/) const override
    {
        if (m_letters == Case::Upper)
            input = input.toUpper();
        return qstringToSjis(input).size() <= m_maxBytes ? Acceptable : Invalid;
    }

private:
    size_t m_maxBytes;
    Case m_letters;
};

} // namespace varnesk
