#include "core/flavour.h"

namespace core {

// Every difference between the two programs is in these two records.

const Flavour kHttpsFlavour = {
    .programName = "vantrel-https",
    .logFileName = "HTTP.log",
    .webRootFromSetting = true,
    .network =
        {
            .tls = true,
            .scheme = "https",
            .protocolLabel = "HTTPS",
            .adminPort = 443,
            .userPort = 8443,
            .stripMappedPrefix = true,
            .preferPhysicalAdapter = true,
        },
    .auth =
        {
            .cookieName = "AUTH",
            .logsCookieName = false,
            .autoLogin =
                {
                    .requestLog = "AUTH    request FROM ",
                    .wrongPinLog = "AUTH    /auto wrong PIN from ",
                    .blockedLog = "AUTH    /auto blocked IP ",
                    .alertLog = "AUTH  >>>>>>  ALERT <<<<<<< /auto failed 3x => IP banned 2 min: ",
                    .successPage = "<!doctype html><html><head><meta charset='utf-8'/><meta http-equiv='refresh' "
                                   "content='0; url=/'/></head><body></body></html>",
                    .plainPages = false,
                },
        },
    .window =
        {
            .statusTitle = "HTTPS Vantrel PRO",
            .initialTitlePrefix = "Vantrel PRO v1.6 - ",
            .addressList = true,
            .webRootPicker = true,
            .reportsDefaultWebRoot = true,
        },
    .pages = PageSet::Https,
    .ensureCertificate = nullptr,
};

const Flavour kHttpFlavour = {
    .programName = "vantrel-http",
    .logFileName = "HTTP.log",
    .webRootFromSetting = false,
    .network =
        {
            .tls = false,
            .scheme = "http",
            .protocolLabel = "HTTP",
            .adminPort = 80,
            .userPort = 8080,
            .stripMappedPrefix = false,
            .preferPhysicalAdapter = false,
        },
    .auth =
        {
            .cookieName = "VANTREL_PRO_AUTH",
            .logsCookieName = true,
            .autoLogin =
                {
                    .requestLog = "",
                    .wrongPinLog = "AUTO    invalid pin from ",
                    .blockedLog = "AUTO    blocked IP ",
                    .alertLog = "AUTO    >>>>>>  ALERT <<<<<<< failed 3x => IP banned 2 min: ",
                    .successPage =
                        "<!doctype html><html><head><meta http-equiv='refresh' content='0; url=/'/></head><body></body></html>",
                    .plainPages = true,
                },
        },
    .window =
        {
            .statusTitle = "HTTP Vantrel PRO",
            .initialTitlePrefix = "HTTP Vantrel PRO - ",
            .addressList = false,
            .webRootPicker = false,
            .reportsDefaultWebRoot = false,
        },
    .pages = PageSet::Http,
    .ensureCertificate = nullptr,
};

static const Flavour* current = &kHttpsFlavour;

void setFlavour(const Flavour& f) { current = &f; }

const Flavour& flavour() { return *current; }

}  // namespace core
