// Resource files come from users and modders: any bytes must load without harm, and whatever
// was read must build drawables without harm.
#include "ZanEngine.h"

#include <climits>
#include <cstdio>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/zan-fuzz-resource-" + std::to_string(getpid()) + ".xml";
    static CZanResourceMgr* resources = []
    {
        CZanResourceMgr* r = KovResourceCreate();
        r->InitDefaults();
        return r;
    }();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    resources->Load(path.c_str());
    // Names the seed files use, in GBK.
    for (const char* name : {"a", "甲", "鸟", "飞", "水", "框", "烟", "分数", "叫", ""})
    {
        resources->CreateSprite(name);
        CZanResPtr<CZanAnim> anim = resources->CreateAnim(name);
        // The last frame, without overflowing on the most negative count a file can give.
        const int frames = anim->GetFrames();
        anim->SetFrame(frames > INT_MIN ? frames - 1 : frames);
        anim->Play(1);
        anim->Update(0.0f);
        CZanResPtr<CZanMesh> mesh = resources->CreateMesh(name);
        mesh->SetDisplacement(1, 1, 1.0f, 1.0f, 0);
        mesh->SetAlpha(0.5f);
        mesh->Render();
        resources->CreateQuad(name)->Render();
        resources->CreateString(name)->SetString("abc");
        resources->GetParticleInfo(name);
        resources->GetAudioInfo(name);
        delete resources->GetTexture(name);
        delete resources->GetFont(name);
    }
    resources->Clear();
    std::remove(path.c_str());
    return 0;
}
