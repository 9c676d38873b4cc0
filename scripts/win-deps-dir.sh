#!/usr/bin/env bash
# Prints the cache folder that holds the static Windows dependencies.
echo "${XDG_CACHE_HOME:-$HOME/.cache}/vantrel/win64-openssl3.0-qrencode4.1-deflate1.14-gtest1.12"
