// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "failuremessage.h"

#include "visiblename.h"

#include <QDir>
#include <QStringList>

namespace {

QString faultReason(const TextJoin::InputFault &fault)
{
    switch (fault.kind) {
    case TextJoin::InputFault::Kind::CannotRead:
        return QString::fromUtf8("열 수 없음 (%1)").arg(fault.detail);
    case TextJoin::InputFault::Kind::NotRegularFile:
        return QString::fromUtf8("열 수 없음 (일반 파일이 아님)");
    case TextJoin::InputFault::Kind::BadEncoding:
        return QString::fromUtf8("인코딩 오류 (%1)").arg(fault.detail);
    case TextJoin::InputFault::Kind::Changed:
        return QString::fromUtf8("읽는 동안 파일이 바뀜");
    case TextJoin::InputFault::Kind::InUse:
        return QString::fromUtf8("다른 프로그램이 쓰는 중");
    }
    return QString();
}

// What failed in the program's own words, then the system's reason where it gave one.
QString outputReason(const TextJoin::JoinResult &result)
{
    QString words;
    switch (result.outputStep) {
    case TextJoin::OutputStep::Write:
        words = QString::fromUtf8("파일에 쓰지 못함");
        break;
    case TextJoin::OutputStep::ReadOnly:
        words = QString::fromUtf8("읽기 전용 파일");
        break;
    case TextJoin::OutputStep::Create:
        words = QString::fromUtf8("폴더에 파일을 만들 수 없음");
        break;
    case TextJoin::OutputStep::Flush:
        words = QString::fromUtf8("디스크에 기록하지 못함");
        break;
    case TextJoin::OutputStep::Replace:
        words = QString::fromUtf8("저장할 이름으로 바꾸지 못함");
        break;
    }
    return result.outputError.isEmpty() ? words : words + QStringLiteral(" (%1)").arg(result.outputError);
}

// A box that names thousands of files would be taller than any screen, and its
// OK button out of reach: it names the first few, and holds them all in its details.
constexpr int faultsNamedInTheBox = 10;

} // namespace

FailureMessage failureMessage(const TextJoin::JoinResult &result, const QString &outputPath)
{
    using Status = TextJoin::JoinResult::Status;
    switch (result.status) {
    case Status::InputFaults: {
        // A name with many lines, or thousands of characters, would stretch the box
        // as much as thousands of files: it shows each name as one short line, and
        // its details hold every name whole.
        QStringList lines;
        QStringList shown;
        for (const TextJoin::InputFault &fault : result.inputFaults) {
            const QString path = QDir::toNativeSeparators(fault.path);
            const QString reason = QStringLiteral(" : ") + faultReason(fault);
            lines << path + reason;
            if (shown.size() < faultsNamedInTheBox)
                shown << visibleName(path) + reason;
        }
        const QString heading = QString::fromUtf8("다음 파일을 읽을 수 없어 파일을 만들지 않았습니다.");
        if (lines.size() <= faultsNamedInTheBox)
            return {(QStringList(heading) + shown).join('\n'), shown == lines ? QString() : lines.join('\n')};
        const QStringList named = QStringList(heading) + shown
            + QStringList(QString::fromUtf8("외 %1개 파일").arg(lines.size() - faultsNamedInTheBox));
        return {named.join('\n'), lines.join('\n')};
    }
    case Status::Unrepresentable: {
        const char32_t codePoint = result.unrepresentable.toUcs4().value(0);
        return {QString::fromUtf8("ANSI 인코딩으로 표현할 수 없는 문자가 있어 파일을 만들지 않았습니다. "
                                  "UTF-8을 선택해 다시 묶어 주세요.")
                    + QStringLiteral("\n%1 (U+%2)")
                          .arg(result.unrepresentable,
                               QString::number(uint(codePoint), 16).toUpper().rightJustified(4, '0')),
                QString()};
    }
    case Status::NoLegacyCodePage:
        return {QString::fromUtf8("이 시스템에는 %1 코드 페이지 변환기가 없어 파일을 만들지 않았습니다.")
                    .arg(result.legacyCodePage),
                QString()};
    case Status::OutputFailed:
    case Status::OutputNotRegularFile: {
        const QString output = QDir::toNativeSeparators(outputPath);
        const QString shownOutput = visibleName(output);
        return {QString::fromUtf8("파일을 저장하지 못했습니다.") + QLatin1Char('\n') + shownOutput + QLatin1Char('\n')
                    + (result.status == Status::OutputNotRegularFile ? QString::fromUtf8("일반 파일이 아님")
                                                                     : outputReason(result)),
                shownOutput == output ? QString() : output};
    }
    case Status::Done:
    case Status::Cancelled:
        break;
    }
    return {};
}
