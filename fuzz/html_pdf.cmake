# The readers that search bounded windows for markers: web page titles and PDF
# document information.
tressel_fuzz_target(fuzz_html ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_html.cpp tressel_readers)
tressel_fuzz_target(fuzz_pdf ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_pdf.cpp tressel_readers)
