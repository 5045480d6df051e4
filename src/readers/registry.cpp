#include "registry.h"

#include "platform/read_failure.h"

#include <algorithm>
#include <cstring>

namespace tressel {

namespace {

// Tries the factories in order, holding at most one reader at a time.
std::unique_ptr<CFileReader> RunPass(const std::vector<ReaderFactory>& pass, int passNumber,
                                     const FileInput& input, bool scanAll,
                                     std::unique_ptr<CFileReader> last, ReaderTrace* trace) {
    for (ReaderFactory make : pass) {
        last.reset();
        last = make(input, scanAll);
        if (trace)
            trace->push_back(
                {passNumber, last->formatName(), last->isRecognized(), last->reason()});
        if (last->isRecognized())
            return last;
    }
    return last;
}

std::vector<ReaderFactory> PassInOrder(std::vector<ReaderRow> rows, int ReaderRow::*place) {
    std::stable_sort(rows.begin(), rows.end(),
                     [&](const ReaderRow& a, const ReaderRow& b) { return a.*place < b.*place; });
    std::vector<ReaderFactory> pass;
    for (const ReaderRow& row : rows)
        pass.push_back(row.make);
    return pass;
}

bool IsFilteredOut(const ReaderAttempt& attempt) {
    return attempt.reason && std::strcmp(attempt.reason, failure::kExtensionFilteredOut) == 0;
}

} // namespace

ReaderTable TableFromRows(std::vector<ReaderRow> rows) {
    return {PassInOrder(rows, &ReaderRow::firstPassPlace),
            PassInOrder(rows, &ReaderRow::secondPassPlace)};
}

std::unique_ptr<CFileReader> CreateFileReader(const ReaderTable& table, const FileInput& input,
                                              bool scanAll, ReaderTrace* trace) {
    std::unique_ptr<CFileReader> reader = RunPass(table.firstPass, 1, input, false, nullptr, trace);
    if (reader && reader->isRecognized())
        return reader;
    if (scanAll)
        reader = RunPass(table.secondPass, 2, input, true, std::move(reader), trace);
    if (!reader)
        reader = std::make_unique<CUnrecognisedReader>(input.path);
    return reader;
}

std::unique_ptr<CFileReader> CreateFileReader(const ReaderTable& table, const std::string& path,
                                              bool scanAll, ReaderTrace* trace) {
    return CreateFileReader(table, OpenFileInput(path), scanAll, trace);
}

std::unique_ptr<CFileReader> CreateFileReader(const std::string& path, bool scanAll,
                                              ReaderTrace* trace) {
    return CreateFileReader(DefaultReaderTable(), path, scanAll, trace);
}

std::string AnswerText(const ReaderAttempt& attempt) {
    if (attempt.accepted)
        return "accepted";
    return attempt.reason ? attempt.reason : "refused";
}

UiText WhyNothingWasRead(const ReaderTrace& trace) {
    std::vector<std::pair<std::string, std::string>> answers; // reader, answer
    UiText why;
    for (const ReaderAttempt& attempt : trace) {
        if (attempt.accepted || IsFilteredOut(attempt))
            continue;
        std::pair<std::string, std::string> answer{attempt.reader ? attempt.reader : "",
                                                   AnswerText(attempt)};
        // The second pass often repeats what the first found.
        if (std::find(answers.begin(), answers.end(), answer) != answers.end())
            continue;
        answers.push_back(std::move(answer));
        // Refusal reasons are static texts marked for translation in this context.
        const UiText reason(TextPattern{
            "Reading", attempt.reason ? attempt.reason : UI_TEXT_NOOP("Reading", "refused")});
        UiText line =
            attempt.reader ? UI_TEXT("Reading", "%1: %2").arg(attempt.reader).arg(reason) : reason;
        why = why.empty() ? std::move(line)
                          : UI_TEXT("Reading", "%1; %2").arg(std::move(why)).arg(std::move(line));
    }
    if (!why.empty())
        return why;
    return trace.empty()
               ? UI_TEXT("Reading", "no reader tried it")
               : UI_TEXT("Reading", "no reader takes its extension (Scan All reads every file)");
}

} // namespace tressel
