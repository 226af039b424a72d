// qex-sealservice: a seal service for development and tests. See usage().
#include <iconv.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "sim/sealservice/faults.h"
#include "sim/sealservice/server.h"
#include "sim/sealservice/store.h"

namespace {

using qex::sim::Store;

void Usage() {
    std::printf(
        "usage: qex-sealservice --db FILE [command] [options]\n"
        "  serve (default)   --port N [--www DIR] [--port-file F] [--public-host H]\n"
        "                    listen on 127.0.0.1:N (0: any free port, written to F);\n"
        "                    with --register-seal and its options, registers first;\n"
        "                    capture QR codes lead to http://H:N/phone/capture?id=ID\n"
        "                    (H defaults to 127.0.0.1); / and /demo serve the demo page\n"
        "  register-seal     --cert-hash H --unit U --name N --image-url URL\n"
        "                    --web-url URL|NOURL --need-hw 0|1\n"
        "                    (U and N are read as UTF-8 and stored in code page 936)\n"
        "  finish-capture    --id ID --hw-url URL [--hw-data BASE64]\n"
        "  set-fault MODE    one of: %s\n"
        "  list-seal-log     print the stored seal log (texts as UTF-8)\n"
        "web side (same port): / and /demo the demo sealing page, /phone/capture?id=ID the\n"
        "  phone page of a capture, POST /phone/submit?id=ID its image (at most 2 MiB),\n"
        "  /hw/ID.png a captured handwriting, /seal/NAME.png a drawn seal image,\n"
        "  /admin/fault?mode=M, /admin/finish-capture, /admin/last-log, /admin/last-request\n",
        qex::sim::FaultModeNames());
}

// Terminal texts (UTF-8) to the service's code page, and back.
bool Convert(const char* from, const char* to, const std::string& in, std::string* out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::vector<char> buf(in.size() * 4 + 4);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = buf.data();
    size_t dstLeft = buf.size();
    const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1)) return false;
    out->assign(buf.data(), buf.size() - dstLeft);
    return true;
}

struct Args {
    std::string command;
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    bool Has(const std::string& k) const { return options.count(k) != 0; }
    std::string Get(const std::string& k) const {
        const auto it = options.find(k);
        return it == options.end() ? std::string() : it->second;
    }
};

bool Parse(int argc, char** argv, Args* args) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--register-seal") {
            args->options[a] = "1";
        } else if (a == "-h" || a == "--help") {
            return false;
        } else if (a.compare(0, 2, "--") == 0) {
            if (i + 1 >= argc) return false;
            args->options[a] = argv[++i];
        } else if (args->command.empty()) {
            args->command = a;
        } else {
            args->positional.push_back(a);
        }
    }
    if (args->command.empty()) args->command = "serve";
    return args->Has("--db");
}

int RegisterSeal(Store& store, const Args& args) {
    for (const char* k : {"--cert-hash", "--unit", "--name", "--image-url", "--web-url", "--need-hw"}) {
        if (!args.Has(k)) {
            std::fprintf(stderr, "qex-sealservice: register-seal needs %s\n", k);
            return 2;
        }
    }
    qex::sim::Seal seal;
    seal.certHash = args.Get("--cert-hash");
    seal.imageUrl = args.Get("--image-url");
    seal.webUrl = args.Get("--web-url");
    seal.needHandwriting = args.Get("--need-hw") == "1";
    if (!Convert("UTF-8", "GBK", args.Get("--unit"), &seal.unit) ||
        !Convert("UTF-8", "GBK", args.Get("--name"), &seal.name)) {
        std::fprintf(stderr, "qex-sealservice: --unit and --name must be UTF-8 text of code page 936\n");
        return 2;
    }
    if (!store.PutSeal(seal)) return 1;
    std::printf("registered seal for %s\n", seal.certHash.c_str());
    return 0;
}

int ListSealLog(Store& store) {
    for (const auto& e : store.Logs()) {
        std::string text;
        if (!Convert("GBK", "UTF-8", e.text, &text)) text = e.text;
        std::printf("%ld\t%s\t%s\t%s\n", e.id, e.at.c_str(), e.certHash.c_str(), text.c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Args args;
    if (!Parse(argc, argv, &args)) {
        Usage();
        return 2;
    }
    Store store(args.Get("--db"));
    if (!store.Init()) return 1;

    if (args.command == "register-seal") return RegisterSeal(store, args);
    if (args.command == "list-seal-log") return ListSealLog(store);
    if (args.command == "finish-capture") {
        if (!store.FinishCapture(args.Get("--id"), args.Get("--hw-url"), args.Get("--hw-data"))) {
            std::fprintf(stderr, "qex-sealservice: no capture %s\n", args.Get("--id").c_str());
            return 1;
        }
        return 0;
    }
    if (args.command == "set-fault") {
        std::string mode = args.positional.empty() ? "" : args.positional[0];
        if (mode == "none") mode.clear();
        qex::sim::FaultMode parsed;
        if (!qex::sim::ParseFaultMode(mode, &parsed)) {
            std::fprintf(stderr, "qex-sealservice: unknown fault mode; one of: %s\n",
                         qex::sim::FaultModeNames());
            return 2;
        }
        return store.SetSetting("fault", mode) ? 0 : 1;
    }
    if (args.command != "serve" || !args.Has("--port")) {
        Usage();
        return 2;
    }
    if (args.Has("--register-seal")) {
        const int rc = RegisterSeal(store, args);
        if (rc != 0) return rc;
    }
    qex::sim::ServerOptions options;
    options.port = std::atoi(args.Get("--port").c_str());
    options.dbPath = args.Get("--db");
    options.wwwDir = args.Get("--www");
    options.portFile = args.Get("--port-file");
    if (args.Has("--public-host")) {
        // It goes into the URL of every QR code: a host name, an IPv4
        // address or a bracketed IPv6 address, nothing that ends the host.
        options.publicHost = args.Get("--public-host");
        if (options.publicHost.empty() ||
            options.publicHost.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                 "0123456789.-:[]") != std::string::npos) {
            std::fprintf(stderr, "qex-sealservice: --public-host must be a host name or address\n");
            return 2;
        }
    }
    return qex::sim::RunServer(options);
}
