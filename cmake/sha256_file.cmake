# Writes FILE's checksum next to it as FILE.sha256, in sha256sum's format, so
# that `sha256sum -c duskmere.exe.sha256` verifies a download.
file(SHA256 "${FILE}" hash)
get_filename_component(name "${FILE}" NAME)
file(WRITE "${FILE}.sha256" "${hash}  ${name}\n")
