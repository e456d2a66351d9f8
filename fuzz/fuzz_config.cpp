// Configuration files come from users: any bytes must read without harm.
#include "ZanEngine.h"

#include <cstdio>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/zan-fuzz-config-" + std::to_string(getpid()) + ".cfg";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    char buf[256];
    for (const char* section : {"全局", "输入", "s", ""})
        for (const char* key : {"窗口模式", "标题", "k", ""})
        {
            GetPrivateProfileIntA(section, key, 1, path.c_str());
            GetPrivateProfileStringA(section, key, "d", buf, sizeof buf, path.c_str());
        }
    WritePrivateProfileStringA("s", "k", "v", path.c_str());
    WritePrivateProfileStringA("全局", nullptr, nullptr, path.c_str());
    std::remove(path.c_str());
    return 0;
}
