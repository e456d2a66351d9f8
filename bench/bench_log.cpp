// Cost of a run-log record written straight through to the file, against the same row through
// a buffered stream (how the log was written when rows waited for shutdown).
#include "TestSupport.h"
#include "core/ZanLog.h"

#include <benchmark/benchmark.h>
#include <cstdio>

namespace
{
void LogRecordWrittenThrough(benchmark::State& state)
{
    zantest::ScopedWorkDir dir;
    CZanLog log;
    log.Open("运行日志.htm", "bench");
    log.TableStart();
    for (auto _ : state)
        log.WriteInfo("纹理加载成功", "Graphics\\ZanTexture", 42);
    log.Close();
}
BENCHMARK(LogRecordWrittenThrough);

void LogRecordBuffered(benchmark::State& state)
{
    zantest::ScopedWorkDir dir;
    FILE* f = std::fopen("buffered.htm", "wb");
    const std::string row = "<tr bgcolor=#008000><td>1</td><td>信息</td><td><b>纹理加载成功</b>"
                            "</td><td>ZanTexture</td><td>00042</td></tr>";
    for (auto _ : state)
        std::fwrite(row.data(), 1, row.size(), f);
    std::fclose(f);
}
BENCHMARK(LogRecordBuffered);
} // namespace
