#pragma once
// Records every report of a TSerialIO, with the time it came, and answers
// ioData reports through an exchangeable function.
#include "serial/serial_io.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace testing_serial {

struct RecordedReport {
    TSerialReportKind kind;
    std::string bytes;
    std::chrono::steady_clock::time_point at;
};

class ReportRecorder {
public:
    using Answer = std::function<std::int32_t(const TSerialReport&)>;

    std::int32_t operator()(const TSerialReport& report) {
        EXPECT_EQ(report.length, static_cast<std::int32_t>(report.bytes.size()));
        EXPECT_LE(report.length, TSerialReport::kMaxLength);
        Answer answer;
        {
            std::lock_guard lock(mutex_);
            reports_.push_back({report.kind, report.bytes, std::chrono::steady_clock::now()});
            answer = answer_;
        }
        return answer ? answer(report) : 0;
    }

    TSerialIO::ReportHandler Handler() {
        return [this](const TSerialReport& report) { return (*this)(report); };
    }

    void SetAnswer(Answer answer) {
        std::lock_guard lock(mutex_);
        answer_ = std::move(answer);
    }

    std::vector<RecordedReport> Reports() const {
        std::lock_guard lock(mutex_);
        return reports_;
    }

    int Count(TSerialReportKind kind, const std::string& bytes) const {
        int count = 0;
        for (const auto& report : Reports())
            if (report.kind == kind && report.bytes == bytes) ++count;
        return count;
    }

    // Index of the first report of that kind and text at or after `from`; -1 if none.
    int Find(TSerialReportKind kind, const std::string& bytes, int from = 0) const {
        const auto reports = Reports();
        for (int i = from; i < static_cast<int>(reports.size()); ++i)
            if (reports[static_cast<std::size_t>(i)].kind == kind && reports[static_cast<std::size_t>(i)].bytes == bytes)
                return i;
        return -1;
    }

    // All received data, joined.
    std::string Data() const {
        std::string data;
        for (const auto& report : Reports())
            if (report.kind == ioData) data += report.bytes;
        return data;
    }

    std::size_t Size() const {
        std::lock_guard lock(mutex_);
        return reports_.size();
    }

private:
    mutable std::mutex mutex_;
    std::vector<RecordedReport> reports_;
    Answer answer_;
};

}  // namespace testing_serial
