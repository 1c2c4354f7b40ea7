# cmake -DTEMPLATE=... -DOUTPUT=... -DMARVOK_VERSION=... -DMARVOK_MAINTAINER=... -P DebianChangelog.cmake
# Writes the package's changelog entry, dated from SOURCE_DATE_EPOCH when it is
# set (the packaging script sets it to the last commit) so rebuilds match.
string(TIMESTAMP MARVOK_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
