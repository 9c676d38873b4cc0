#include "core/flavour.h"

namespace core {

const Flavour kHttpsFlavour = {
    "vantrel-https", true, "https", "HTTPS", 443, 8443, "AUTH", true, "HTTP.log", nullptr, false, true,
    {"AUTH    request FROM ", "AUTH    /auto wrong PIN from ", "AUTH    /auto blocked IP ",
     "AUTH  >>>>>>  ALERT <<<<<<< /auto failed 3x => IP banned 2 min: ",
     "<!doctype html><html><head><meta charset='utf-8'/><meta http-equiv='refresh' content='0; url=/'/></head>"
     "<body></body></html>",
     false},
    "HTTPS Vantrel PRO", true, true, "Vantrel PRO v1.6 - ",
};

const Flavour kHttpFlavour = {
    "vantrel-http", false, "http", "HTTP", 80, 8080, "VANTREL_PRO_AUTH", false, "HTTP.log", nullptr, true, false,
    {"", "AUTO    invalid pin from ", "AUTO    blocked IP ", "AUTO    >>>>>>  ALERT <<<<<<< failed 3x => IP banned 2 min: ",
     "<!doctype html><html><head><meta http-equiv='refresh' content='0; url=/'/></head><body></body></html>", true},
    "HTTP Vantrel PRO", false, false, "HTTP Vantrel PRO - ",
};

static const Flavour* current = &kHttpsFlavour;

void setFlavour(const Flavour& f) { current = &f; }

const Flavour& flavour() { return *current; }

}  // namespace core
