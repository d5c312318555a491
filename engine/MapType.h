#pragma once

// Map service of the map page; any other value loads the OpenStreetMap page.
enum class MapType : int { Google = 1, Baidu = 2, OSMap = 3, Bing = 4 };
