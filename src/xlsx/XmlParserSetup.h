#pragma once
// The XML parser's one-time set-up, which is not safe to race: done before a second thread may
// read a package part (each spreadsheet application does it when it is made).
namespace bf::xlsx {
void prepareXmlParser();
} // namespace bf::xlsx
