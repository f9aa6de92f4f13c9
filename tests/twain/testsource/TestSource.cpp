// A scripted data source for the tests. The file named by VELA_TEST_SOURCE_SCRIPT says how it
// answers, one directive a line; "source NAME" starts a further source of this module and the
// directives after it apply to that source:
//   open ok | failure CC            xfercount ok | checkstatus | failure CC
//   enable ok | checkstatus | failure CC
//   event images | close | none     (what it posts once enabled)
//   xfer done | cancel | failure CC | stuck
//   image W H BITS [header N] [compressed] [topdown] [cut N] [clrused N]
//   imagefile PATH                  (a bitmap file's DIB)
//   log FILE                        (appends every call and the application's identity)
#include "../MakeDib.h"
#include "GlobalMemory.h"
#include "ThreadQueue.h"
#include "TwainTypes.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Answer {
    std::string kind = "ok";
    TW_UINT16 condition = TWCC_SUCCESS;
};

struct Image {
    DibSpec spec;
    std::string file;

    std::vector<std::uint8_t> Dib() const {
        if (file.empty())
            return MakeDib(spec);
        std::ifstream in(file, std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
        bytes.erase(bytes.begin(), bytes.begin() + std::min<std::size_t>(14, bytes.size()));
        return bytes;
    }
};

struct Script {
    std::string name;
    Answer open, xfercount, enable, xfer{"done", 0};
    std::string event = "images";
    std::vector<Image> images;
    std::string log;
};

std::vector<Script> readScripts() {
    std::vector<Script> scripts(1);
    scripts[0].name = "Vela Test Source";
    const char* path = std::getenv("VELA_TEST_SOURCE_SCRIPT");
    std::ifstream in(path ? path : "");
    bool named = false;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        Script& s = scripts.back();
        const auto answer = [&](Answer& a) {
            words >> a.kind;
            unsigned cc = 0;
            words >> cc;
            a.condition = TW_UINT16(cc);
        };
        if (key == "source") {
            if (named)
                scripts.push_back(scripts.back());
            named = true;
            std::getline(words >> std::ws, scripts.back().name);
            scripts.back().images.clear();
        } else if (key == "open") {
            answer(s.open);
        } else if (key == "xfercount") {
            answer(s.xfercount);
        } else if (key == "enable") {
            answer(s.enable);
        } else if (key == "xfer") {
            answer(s.xfer);
        } else if (key == "event") {
            words >> s.event;
        } else if (key == "log") {
            words >> s.log;
        } else if (key == "image") {
            DibSpec d;
            int bits = 24;
            words >> d.width >> d.height >> bits;
            d.bits = std::uint16_t(bits);
            for (std::string flag; words >> flag;) {
                if (flag == "header")
                    words >> d.headerSize;
                else if (flag == "compressed")
                    d.compression = 1, d.sizeImage = 0;
                else if (flag == "topdown")
                    d.height = -d.height;
                else if (flag == "cut")
                    words >> d.cut;
                else if (flag == "clrused")
                    words >> d.clrUsed;
            }
            s.images.push_back({d, {}});
        } else if (key == "imagefile") {
            Image image;
            words >> image.file;
            const std::vector<std::uint8_t> dib = image.Dib();
            if (dib.size() >= 16) {
                std::memcpy(&image.spec.width, &dib[4], 4);
                std::memcpy(&image.spec.height, &dib[8], 4);
                image.spec.bits = std::uint16_t(dib[14] | dib[15] << 8);
            }
            s.images.push_back(image);
        }
    }
    return scripts;
}

struct Session {
    std::vector<Script> scripts = readScripts();
    std::size_t enumerated = 0;
    const Script* open = nullptr;
    TW_UINT32 id = 0;
    std::size_t next = 0; // next image
    TW_UINT16 condition = TWCC_SUCCESS;
};

Session& session() {
    static Session s_session;
    return s_session;
}

void log(const char* format, unsigned a, unsigned b, unsigned c) {
    const Script* s = session().open;
    if (!s || s->log.empty())
        return;
    if (FILE* f = std::fopen(s->log.c_str(), "a")) {
        std::fprintf(f, format, a, b, c);
        std::fclose(f);
    }
}

TW_UINT16 answer(const Answer& a, TW_UINT16 success = TWRC_SUCCESS) {
    if (a.kind == "failure") {
        session().condition = a.condition;
        return TWRC_FAILURE;
    }
    if (a.kind == "checkstatus")
        return TWRC_CHECKSTATUS;
    if (a.kind == "cancel")
        return TWRC_CANCEL;
    return success;
}

TW_UINT16 identity(TW_IDENTITY* origin, TW_UINT16 msg, TW_IDENTITY* id) {
    Session& s = session();
    switch (msg) {
    case MSG_GETFIRST:
        s.scripts = readScripts();
        s.enumerated = 0;
        [[fallthrough]];
    case MSG_GETNEXT:
        if (s.enumerated >= s.scripts.size())
            return TWRC_ENDOFLIST;
        *id = {};
        id->Version.MajorNum = 1;
        id->ProtocolMajor = 1;
        id->ProtocolMinor = 8;
        id->SupportedGroups = DG_CONTROL | DG_IMAGE;
        std::snprintf(id->Manufacturer, sizeof id->Manufacturer, "Vela");
        std::snprintf(id->ProductFamily, sizeof id->ProductFamily, "Tests");
        std::snprintf(id->ProductName, sizeof id->ProductName, "%s",
                      s.scripts[s.enumerated++].name.c_str());
        return TWRC_SUCCESS;
    case MSG_OPENDS:
        s.scripts = readScripts();
        for (const Script& script : s.scripts)
            if (script.name == id->ProductName)
                s.open = &script;
        if (!s.open)
            return s.condition = TWCC_NODS, TWRC_FAILURE;
        s.id = id->Id;
        s.next = 0;
        if (!s.open->log.empty()) {
            std::ofstream f(s.open->log, std::ios::app);
            f << "identity ";
            const auto* bytes = reinterpret_cast<const unsigned char*>(origin);
            for (std::size_t i = 0; i < sizeof(TW_IDENTITY); ++i)
                f << (i ? "," : "") << unsigned(bytes[i]);
            f << "\n";
        }
        return answer(s.open->open);
    case MSG_CLOSEDS:
        s.open = nullptr;
        return TWRC_SUCCESS;
    default:
        return s.condition = TWCC_BADPROTOCOL, TWRC_FAILURE;
    }
}

TW_UINT16 entry(TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    Session& s = session();
    if (dat == DAT_IDENTITY)
        return identity(origin, msg, static_cast<TW_IDENTITY*>(data));
    if (dat == DAT_STATUS) {
        static_cast<TW_STATUS*>(data)->ConditionCode = s.condition;
        s.condition = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    }
    if (!s.open)
        return s.condition = TWCC_SEQERROR, TWRC_FAILURE;
    const Script& script = *s.open;
    log("call %u %u %u\n", dg, dat, msg);
    const std::size_t remaining = script.images.size() - std::min(s.next, script.images.size());
    switch (dat) {
    case DAT_CAPABILITY: {
        auto* cap = static_cast<TW_CAPABILITY*>(data);
        if (msg == MSG_GET) {
            cap->ConType = TWON_ONEVALUE;
            cap->hContainer = GlobalAlloc(sizeof(TW_ONEVALUE));
            auto* one = static_cast<TW_ONEVALUE*>(GlobalLock(cap->hContainer));
            one->ItemType = TWTY_INT16;
            one->Item = 1;
            GlobalUnlock(cap->hContainer);
            return script.xfercount.kind == "checkstatus" ? TWRC_SUCCESS : answer(script.xfercount);
        }
        return answer(script.xfercount);
    }
    case DAT_USERINTERFACE:
        if (msg == MSG_ENABLEDS) {
            const TW_UINT16 rc = answer(script.enable);
            if (rc == TWRC_SUCCESS && script.event != "none")
                TwainPostThreadMessage(WM_TWAIN_SOURCE,
                                       script.event == "close" ? MSG_CLOSEDSREQ : MSG_XFERREADY,
                                       s.id);
            return rc;
        }
        return TWRC_SUCCESS;
    case DAT_EVENT: {
        auto* event = static_cast<TW_EVENT*>(data);
        const auto* m = static_cast<const TW_MSG*>(event->pEvent);
        if (m && m->message == WM_TWAIN_SOURCE && m->lParam == s.id) {
            event->TWMessage = TW_UINT16(m->wParam);
            return TWRC_DSEVENT;
        }
        return TWRC_NOTDSEVENT;
    }
    case DAT_IMAGENATIVEXFER: {
        if (script.xfer.kind == "stuck")
            return TWRC_SUCCESS;
        const TW_UINT16 rc = answer(script.xfer, TWRC_XFERDONE);
        if (rc != TWRC_XFERDONE || remaining == 0)
            return remaining ? rc : (s.condition = TWCC_SEQERROR, TWRC_FAILURE);
        const std::vector<std::uint8_t> dib = script.images[s.next].Dib();
        TW_HANDLE block = GlobalAlloc(dib.size());
        std::memcpy(GlobalLock(block), dib.data(), dib.size());
        GlobalUnlock(block);
        *static_cast<TW_HANDLE*>(data) = block;
        return TWRC_XFERDONE;
    }
    case DAT_IMAGEINFO: {
        auto* info = static_cast<TW_IMAGEINFO*>(data);
        if (script.images.empty())
            return s.condition = TWCC_SEQERROR, TWRC_FAILURE;
        const DibSpec& d = script.images[std::min(s.next, script.images.size() - 1)].spec;
        *info = {};
        info->XResolution.Whole = info->YResolution.Whole = 300;
        info->ImageWidth = d.width;
        info->ImageLength = d.height < 0 ? -d.height : d.height;
        info->SamplesPerPixel = d.bits == 24 ? 3 : 1;
        info->BitsPerPixel = TW_INT16(d.bits);
        info->PixelType = d.bits == 24 ? TWPT_RGB : d.bits == 1 ? TWPT_BW : TWPT_GRAY;
        return TWRC_SUCCESS;
    }
    case DAT_PENDINGXFERS: {
        auto* pending = static_cast<TW_PENDINGXFERS*>(data);
        if (msg == MSG_ENDXFER && remaining > 0)
            ++s.next;
        if (msg == MSG_RESET)
            s.next = script.images.size();
        pending->Count = TW_UINT16(script.images.size() - std::min(s.next, script.images.size()));
        return TWRC_SUCCESS;
    }
    default:
        return s.condition = TWCC_BADPROTOCOL, TWRC_FAILURE;
    }
}

} // namespace

extern "C" __attribute__((visibility("default"))) TW_UINT16
DS_Entry(TW_IDENTITY* pOrigin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData) {
    try {
        return entry(pOrigin, DG, DAT, MSG, pData);
    } catch (...) {
        session().condition = TWCC_BUMMER;
        return TWRC_FAILURE;
    }
}
