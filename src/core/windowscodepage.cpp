// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "windowscodepage.h"

#include <QTextCodec>

#include <map>
#include <mutex>

#include <qt_windows.h>

namespace TextJoin {

namespace {

// Converts whole pieces of text: the joiner gives a code page's codec complete
// characters only, through the tables it derives from it. What Windows cannot
// convert is counted as invalid, never guessed: no best fit on the way out.
class WindowsCodePageCodec : public QTextCodec
{
public:
    explicit WindowsCodePageCodec(unsigned int number)
        : m_number(number)
        , m_name("x-windows-cp" + QByteArray::number(number))
    {
    }

    QByteArray name() const override { return m_name; }
    int mibEnum() const override { return 0; }

protected:
    QString convertToUnicode(const char *in, int length, ConverterState *state) const override
    {
        if (length <= 0)
            return QString();
        QString text(length, Qt::Uninitialized);
        const int written = MultiByteToWideChar(m_number, MB_ERR_INVALID_CHARS, in, length,
                                                reinterpret_cast<wchar_t *>(text.data()), length);
        if (written <= 0) {
            if (state)
                ++state->invalidChars;
            return QString(QChar::ReplacementCharacter);
        }
        text.truncate(written);
        return text;
    }

    QByteArray convertFromUnicode(const QChar *in, int length, ConverterState *state) const override
    {
        if (length <= 0)
            return QByteArray();
        const auto *units = reinterpret_cast<const wchar_t *>(in);
        const int size = WideCharToMultiByte(m_number, WC_NO_BEST_FIT_CHARS, units, length, nullptr, 0,
                                             nullptr, nullptr);
        QByteArray bytes(size, Qt::Uninitialized);
        BOOL substituted = FALSE;
        WideCharToMultiByte(m_number, WC_NO_BEST_FIT_CHARS, units, length, bytes.data(), size, "?",
                            &substituted);
        if (substituted && state)
            ++state->invalidChars;
        return bytes;
    }

private:
    unsigned int m_number;
    QByteArray m_name;
};

} // namespace

QTextCodec *windowsCodePage(unsigned int number)
{
    static std::mutex mutex;
    static std::map<unsigned int, QTextCodec *> codecs;
    std::lock_guard<std::mutex> lock(mutex);
    QTextCodec *&codec = codecs[number];
    // Qt takes every codec made into its list, and deletes them at exit.
    if (!codec)
        codec = new WindowsCodePageCodec(number);
    return codec;
}

} // namespace TextJoin
