<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name></name>
    <message id="IDR_MAINFRAME">
        <source>Rovix Manager</source>
        <translation>Rovix Manager</translation>
    </message>
    <message id="IDS_360_VIEW">
        <source>360-degree view for flat recordings</source>
        <translation>平面の録画を360度ビューで表示</translation>
    </message>
    <message id="IDS_SHOW_WHOLE_TRIP">
        <source>Show the whole trip on the map</source>
        <translation>走行全体のルートを地図に表示</translation>
    </message>
    <message id="IDS_HARSH_THRESHOLD">
        <source>Harsh-driving threshold...</source>
        <translation>急な運転操作のしきい値...</translation>
    </message>
    <message id="IDS_HARSH_THRESHOLD_TITLE">
        <source>Harsh-Driving Threshold</source>
        <translation>急な運転操作のしきい値</translation>
    </message>
    <message id="IDS_HARSH_THRESHOLD_LABEL">
        <source>Mark braking, acceleration and turns from (g):</source>
        <translation>ブレーキ・加速・旋回をマークする加速度 (g):</translation>
    </message>
    <message id="IDS_HARSH_THRESHOLD_RANGE">
        <source>The threshold must be between %1 and %2 g.</source>
        <translation>しきい値は %1 ～ %2 g の範囲で指定してください。</translation>
    </message>
    <message id="IDS_HARSH_THRESHOLD_NOT_NUMBER">
        <source>"%1" is not a number of g.</source>
        <translation>「%1」は g の数値ではありません。</translation>
    </message>
    <message id="IDS_HARSH_BRAKE">
        <source>Harsh braking</source>
        <translation>急ブレーキ</translation>
    </message>
    <message id="IDS_HARSH_ACCEL">
        <source>Harsh acceleration</source>
        <translation>急加速</translation>
    </message>
    <message id="IDS_HARSH_TURN">
        <source>Sharp turn</source>
        <translation>急旋回</translation>
    </message>
    <message id="IDS_HARSH_MARK_G">
        <source>%1, peak %2 g</source>
        <translation>%1（最大 %2 g）</translation>
    </message>
    <message id="IDS_HARSH_MARK_KMH_S">
        <source>%1, peak %2 km/h per second</source>
        <translation>%1（最大 毎秒 %2 km/h）</translation>
    </message>
    <message id="IDS_PLACE_BY_NAME_TIME">
        <source>Place recordings by the time in their names</source>
        <translation>ファイル名の日時で録画を並べる</translation>
    </message>
    <message id="IDS_SAVE_CLIP">
        <source>Save clip...</source>
        <translation>クリップを保存...</translation>
    </message>
    <message id="IDS_KEY_ZOOM">
        <source>Zoom the picture in, out, back to whole</source>
        <translation>映像の拡大、縮小、元の大きさ</translation>
    </message>
    <message id="IDS_CAPTURE_WHAT_IS_SHOWN">
        <source>What is shown</source>
        <translation>表示中の範囲</translation>
    </message>
    <message id="IDS_KEY_SAVE_CLIP">
        <source>Save a clip around this moment</source>
        <translation>この時点の前後をクリップとして保存</translation>
    </message>
    <message id="IDS_CLIP_TITLE">
        <source>Save clip</source>
        <translation>クリップを保存</translation>
    </message>
    <message id="IDS_CLIP_BEFORE">
        <source>Seconds before the moment</source>
        <translation>この時点より前（秒）</translation>
    </message>
    <message id="IDS_CLIP_AFTER">
        <source>Seconds after the moment</source>
        <translation>この時点より後（秒）</translation>
    </message>
    <message id="IDS_CLIP_CHOOSE_FOLDER">
        <source>Choose the folder for the clip</source>
        <translation>クリップの保存先フォルダを選択</translation>
    </message>
    <message id="IDS_CLIP_NO_RECORDING">
        <source>Open a recording first.</source>
        <translation>先に録画を開いてください。</translation>
    </message>
    <message id="IDS_CLIP_SAVED">
        <source>The clip was saved in %1</source>
        <translation>クリップを %1 に保存しました</translation>
    </message>
    <message id="IDS_CLIP_OVERLAY">
        <source>Draw the time, speed and position in (re-encodes; much slower)</source>
        <translation>日時・速度・位置を映像に描き込む（再エンコードのため時間がかかります）</translation>
    </message>
    <message id="IDS_CLIP_LAYOUT">
        <source>Layout</source>
        <translation>レイアウト</translation>
    </message>
    <message id="IDS_CLIP_LAYOUT_SEPARATE">
        <source>A file per camera (not re-encoded)</source>
        <translation>カメラごとのファイル（再エンコードなし）</translation>
    </message>
    <message id="IDS_CLIP_LAYOUT_SIDE_BY_SIDE">
        <source>Front and rear side by side (re-encodes)</source>
        <translation>フロントとリアを横に並べる（再エンコード）</translation>
    </message>
    <message id="IDS_CLIP_LAYOUT_PIP">
        <source>Rear in a corner of the front (re-encodes)</source>
        <translation>フロントの隅にリアを表示（再エンコード）</translation>
    </message>
    <message id="IDS_CLIP_LAYOUT_FRONT">
        <source>Front camera only (re-encodes)</source>
        <translation>フロントカメラのみ（再エンコード）</translation>
    </message>
    <message id="IDS_CLIP_LAYOUT_REAR">
        <source>Rear camera only (re-encodes)</source>
        <translation>リアカメラのみ（再エンコード）</translation>
    </message>
    <message id="IDS_CLIP_CORNER">
        <source>Rear picture's corner</source>
        <translation>リア映像の位置</translation>
    </message>
    <message id="IDS_CLIP_CORNER_0">
        <source>Top left</source>
        <translation>左上</translation>
    </message>
    <message id="IDS_CLIP_CORNER_1">
        <source>Top right</source>
        <translation>右上</translation>
    </message>
    <message id="IDS_CLIP_CORNER_2">
        <source>Bottom left</source>
        <translation>左下</translation>
    </message>
    <message id="IDS_CLIP_CORNER_3">
        <source>Bottom right</source>
        <translation>右下</translation>
    </message>
    <message id="IDS_CLIP_QUALITY">
        <source>Quality (lower is better and larger)</source>
        <translation>画質（小さいほど高画質・大きなファイル）</translation>
    </message>
    <message id="IDS_CLIP_EMPTY">
        <source>Choose at least one second before or after the moment.</source>
        <translation>この時点の前または後に 1 秒以上を指定してください。</translation>
    </message>
    <message id="IDS_CLIP_BLUR">
        <source>Blur: pause on a frame and drag a rectangle over a plate or a face</source>
        <translation>ぼかし: 映像を止めて、ナンバーや顔を四角で囲んでください</translation>
    </message>
    <message id="IDS_CLIP_BLUR_NEW">
        <source>New area</source>
        <translation>新しい範囲</translation>
    </message>
    <message id="IDS_CLIP_BLUR_HOLD">
        <source>Hold still to here</source>
        <translation>ここまで静止</translation>
    </message>
    <message id="IDS_CLIP_BLUR_REMOVE">
        <source>Remove</source>
        <translation>削除</translation>
    </message>
    <message id="IDS_CLIP_BLUR_ONE_POSITION">
        <source>one position: set another moment</source>
        <translation>位置は一つだけ: 別の時刻も指定してください</translation>
    </message>
    <message id="IDS_CLIP_BLUR_ONE_KEY">
        <source>Area %1 has one position only: draw it again at another moment, or hold it still to another moment.</source>
        <translation>範囲 %1 の位置が一つだけです。別の時刻でもう一度囲むか、別の時刻まで静止させてください。</translation>
    </message>
    <message id="IDS_CLIP_BLUR_SEPARATE">
        <source>Blurring makes a re-encoded copy: choose a layout other than separate files.</source>
        <translation>ぼかしは再エンコードしたコピーに入ります。「別々のファイル」以外のレイアウトを選んでください。</translation>
    </message>
    <message id="IDS_CLIP_BLUR_REFUSED">
        <source>Area %1 cannot be used: %2</source>
        <translation>範囲 %1 は使えません: %2</translation>
    </message>
    <message id="IDS_CLIP_BLUR_CAMERA">
        <source>The marked areas were drawn on the other camera's picture and have been removed.</source>
        <translation>囲んだ範囲は別のカメラの映像のものだったため、削除しました。</translation>
    </message>
    <message id="IDS_CLIP_BLUR_NO_PICTURE">
        <source>No picture at this moment: %1</source>
        <translation>この時刻の映像がありません: %1</translation>
    </message>
    <message id="IDS_CLIP_HOLES">
        <source>The clip lacks part of the window (clip.txt lists each stretch and why):</source>
        <translation>クリップには指定した範囲の一部が含まれていません（各区間と理由は clip.txt に記載）:</translation>
    </message>
    <message id="IDS_CLIP_FAILED">
        <source>The clip could not be saved: %1</source>
        <translation>クリップを保存できませんでした: %1</translation>
    </message>
    <message id="IDS_ABOUT">
        <source>About Rovix Manager</source>
        <translation>Rovix Manager について</translation>
    </message>
    <message id="IDS_KEYBOARD">
        <source>Keyboard</source>
        <translation>キーボード操作</translation>
    </message>
    <message id="IDS_KEY_PLAY_PAUSE">
        <source>Play / pause</source>
        <translation>再生 / 一時停止</translation>
    </message>
    <message id="IDS_KEY_SEEK">
        <source>Back / forward 5 seconds</source>
        <translation>5 秒戻る / 5 秒進む</translation>
    </message>
    <message id="IDS_KEY_FRAME_STEP">
        <source>One frame back / forward while paused</source>
        <translation>一時停止中に 1 コマ戻る / 進む</translation>
    </message>
    <message id="IDS_KEY_PREV_NEXT">
        <source>Previous / next video</source>
        <translation>前の動画 / 次の動画</translation>
    </message>
    <message id="IDS_KEY_VOLUME">
        <source>Volume up / down</source>
        <translation>音量を上げる / 下げる</translation>
    </message>
    <message id="IDS_KEY_FULL_SCREEN">
        <source>Full-screen video</source>
        <translation>動画を全画面表示</translation>
    </message>
    <message id="IDS_KEY_LEAVE_FULL_SCREEN">
        <source>Leave full screen</source>
        <translation>全画面表示を終了</translation>
    </message>
    <message id="IDS_KEY_EVENT">
        <source>Jump to the next / previous mark</source>
        <translation>次／前のマークへ移動</translation>
    </message>
    <message id="IDS_ALL">
        <source>All</source>
        <translation>すべて</translation>
    </message>
    <message id="IDS_ALTITUDE">
        <source>Altitude</source>
        <translation>高度</translation>
    </message>
    <message id="IDS_BACKUP">
        <source>Back Up Files</source>
        <translation>ファイルのバックアップ</translation>
    </message>
    <message id="IDS_CALENDAR">
        <source>Calendar</source>
        <translation>カレンダー</translation>
    </message>
    <message id="IDS_CANCEL">
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message id="IDS_CAPTURE">
        <source>Capture the current frame</source>
        <translation>現在の画面をキャプチャー</translation>
    </message>
    <message id="IDS_CAPTURE_PREVIEW">
        <source>Capture Preview</source>
        <translation>キャプチャーのプレビュー</translation>
    </message>
    <message id="IDS_CHANGE_SKIN">
        <source>Change Skin</source>
        <translation>スキンの変更</translation>
    </message>
    <message id="IDS_CHANGE_SPEED_UNIT">
        <source>Change the speed unit</source>
        <translation>速度の単位を切り替え</translation>
    </message>
    <message id="IDS_LANGUAGE">
        <source>Language</source>
        <translation>言語</translation>
    </message>
    <message id="IDS_SPEED_UNIT">
        <source>Speed unit</source>
        <translation>速度の単位</translation>
    </message>
    <message id="IDS_CLOSE">
        <source>Close</source>
        <translation>閉じる</translation>
    </message>
    <message id="IDS_DESCRIPTION">
        <source>Description</source>
        <translation>説明</translation>
    </message>
    <message id="IDS_DIRECTION">
        <source>Direction</source>
        <translation>方位</translation>
    </message>
    <message id="IDS_ERR_CAPTURE_FRAME">
        <source>The picture of this moment cannot be taken from the recording: it is damaged, incomplete, missing or still opening.</source>
        <translation>この時点の画像を映像から取得できません。ファイルが壊れている、不完全である、見つからない、または読み込み中です。</translation>
    </message>
    <message id="IDS_ERR_SAVE_PICTURE">
        <source>The picture could not be saved. Check that the folder exists, can be written to and has free space.</source>
        <translation>画像を保存できませんでした。フォルダーが存在し、書き込みができ、空き容量があることを確認してください。</translation>
    </message>
    <message id="IDS_ERR_FOLDER_READ_ONLY">
        <source>The destination folder is read-only. Please choose another folder.</source>
        <translation>保存先のフォルダーは読み取り専用です。別のフォルダーを選択してください。</translation>
    </message>
    <message id="IDS_ERR_NO_DISK_SPACE">
        <source>There is not enough free space on the destination disk.</source>
        <translation>保存先のディスクの空き容量が不足しています。</translation>
    </message>
    <message id="IDS_ERR_SETTINGS_UNUSABLE">
        <source>The settings file %1 cannot be read or written. The folder opened and the settings changed now are kept only until the program ends.</source>
        <translation>設定ファイル %1 を読み書きできません。開いたフォルダーと変更した設定は、プログラムを終了するまでしか保持されません。</translation>
    </message>
    <message id="IDS_ERR_NO_GPS_DATA">
        <source>No GPS data</source>
        <translation>GPS データがありません</translation>
    </message>
    <message id="IDS_ERR_NO_GSENSOR_DATA">
        <source>No G-sensor data</source>
        <translation>G センサーのデータがありません</translation>
    </message>
    <message id="IDS_ERR_VIDEO_DECODE">
        <source>This recording cannot be played: it is damaged or incomplete.</source>
        <translation>この映像は再生できません。ファイルが壊れているか、不完全です。</translation>
    </message>
    <message id="IDS_ERR_NO_INTERNET">
        <source>Cannot connect to the internet. Please check your network connection.</source>
        <translation>インターネットに接続できません。ネットワークの接続を確認してください。</translation>
    </message>
    <message id="IDS_ERR_OVER_MAX_UPLOAD">
        <source>Too many files are selected. You can upload up to 10 files at a time.</source>
        <translation>選択したファイルが多すぎます。一度にアップロードできるのは 10 ファイルまでです。</translation>
    </message>
    <message id="IDS_EVENT">
        <source>Event</source>
        <translation>イベント</translation>
    </message>
    <message id="IDS_ERR_BACKUP_IN_SOURCE">
        <source>The chosen folder holds %1. Please choose another folder for the backup.</source>
        <translation>選択したフォルダーには %1 があります。バックアップ先には別のフォルダーを選択してください。</translation>
    </message>
    <message id="IDS_ERR_BACKUP_SAME_NAME">
        <source>%1 has the same file name as another chosen file. Please back them up in separate steps.</source>
        <translation>%1 はほかに選択したファイルと同じ名前です。別々にバックアップしてください。</translation>
    </message>
    <message id="IDS_ERR_BACKUP_READ">
        <source>Cannot read %1. The backup has stopped.</source>
        <translation>%1 を読み込めません。バックアップを中止しました。</translation>
    </message>
    <message id="IDS_ERR_BACKUP_WRITE">
        <source>Cannot write the copy of %1. The backup has stopped.</source>
        <translation>%1 のコピーを書き込めません。バックアップを中止しました。</translation>
    </message>
    <message id="IDS_ERR_BACKUP_VERIFY">
        <source>The copy of %1 does not match the original. The backup has stopped.</source>
        <translation>%1 のコピーが元のファイルと一致しません。バックアップを中止しました。</translation>
    </message>
    <message id="IDS_ERR_BACKUP_IN_USE">
        <source>The chosen folder is in use by another backup. Please try again when it has ended.</source>
        <translation>選択したフォルダーには別のバックアップが書き込み中です。終了してからもう一度お試しください。</translation>
    </message>
    <message id="IDS_ERR_BACKUP_CHANGED">
        <source>%1 changed while being copied. The backup has stopped.</source>
        <translation>%1 がコピー中に変更されました。バックアップを中止しました。</translation>
    </message>
    <message id="IDS_BACKUP_NOTHING_SELECTED">
        <source>No file is selected. Please select the files to back up.</source>
        <translation>ファイルが選択されていません。バックアップするファイルを選択してください。</translation>
    </message>
    <message id="IDS_BACKUP_N_OF_M">
        <source>%1 of %2</source>
        <translation>%1 / %2</translation>
    </message>
    <message id="IDS_BACKUP_BYTES">
        <source>%1 of %2</source>
        <translation>%1 / %2</translation>
    </message>
    <message id="IDS_BACKUP_TIME_LEFT">
        <source>about %1 left</source>
        <translation>残り約 %1</translation>
    </message>
    <message id="IDS_DURATION_HOURS">
        <source>%1 h %2 min</source>
        <translation>%1 時間 %2 分</translation>
    </message>
    <message id="IDS_DURATION_MINUTES">
        <source>%1 min %2 s</source>
        <translation>%1 分 %2 秒</translation>
    </message>
    <message id="IDS_DURATION_SECONDS">
        <source>%1 s</source>
        <translation>%1 秒</translation>
    </message>
    <message id="IDS_BACKUP_STOPPING">
        <source>Stopping...</source>
        <translation>中止しています...</translation>
    </message>
    <message id="IDS_BACKUP_WAITING">
        <source>Waiting for another backup into this folder to end...</source>
        <translation>このフォルダーへの別のバックアップの終了を待っています...</translation>
    </message>
    <message id="IDS_BACKUP_PACKAGING">
        <source>Writing the evidence package...</source>
        <translation>証拠パッケージを書き込んでいます...</translation>
    </message>
    <message id="IDS_BACKUP_SUMMARY_DONE">
        <source>The backup is complete.</source>
        <translation>バックアップが完了しました。</translation>
    </message>
    <message id="IDS_BACKUP_SUMMARY_CANCELED">
        <source>The backup was canceled.</source>
        <translation>バックアップは中止されました。</translation>
    </message>
    <message id="IDS_BACKUP_SUMMARY_STOPPED">
        <source>The backup has stopped.</source>
        <translation>バックアップを中止しました。</translation>
    </message>
    <message id="IDS_BACKUP_SUMMARY_COPIED">
        <source>Copied: %1</source>
        <translation>コピー済み: %1</translation>
    </message>
    <message id="IDS_BACKUP_SUMMARY_IDENTICAL">
        <source>Skipped as identical: %1</source>
        <translation>同一のためスキップ: %1</translation>
    </message>
    <message id="IDS_BACKUP_SUMMARY_FAILED">
        <source>Failed: %1 (%2)</source>
        <translation>失敗: %1 (%2)</translation>
    </message>
    <message id="IDS_BACKUP_SUMMARY_NOT_COPIED">
        <source>Not copied: %1</source>
        <translation>未コピー: %1</translation>
    </message>
    <message id="IDS_BACKUP_SUMMARY_PACKAGE">
        <source>Package folder: %1</source>
        <translation>パッケージのフォルダー: %1</translation>
    </message>
    <message id="IDS_ERR_EXPORT_FAILED">
        <source>Cannot write %1.</source>
        <translation>%1 を書き込めません。</translation>
    </message>
    <message id="IDS_ERR_SIGN_IN_FAILED">
        <source>Signing in did not give the right to post videos: it was not granted, or the service did not answer as expected. Please try again.</source>
        <translation>サインインで動画を投稿する権限を得られませんでした。権限が許可されなかったか、サービスが正しく応答しませんでした。もう一度お試しください。</translation>
    </message>
    <message id="IDS_ERR_NO_BROWSER">
        <source>No web browser could open the page. Copy this address into a browser:
%1</source>
        <translation>ページを開けるブラウザーがありません。次のアドレスをブラウザーにコピーしてください：
%1</translation>
    </message>
    <message id="IDS_EVIDENCE_PACKAGE">
        <source>Evidence package</source>
        <translation>証拠パッケージ</translation>
    </message>
    <message id="IDS_FILE_DATE">
        <source>Date</source>
        <translation>日付</translation>
    </message>
    <message id="IDS_FILE_SIZE">
        <source>Size</source>
        <translation>サイズ</translation>
    </message>
    <message id="IDS_EXPORT_TO_KML">
        <source>Export the route to a KML file</source>
        <translation>走行ルートを KML ファイルに書き出し</translation>
    </message>
    <message id="IDS_FILE_NAME">
        <source>File name</source>
        <translation>ファイル名</translation>
    </message>
    <message id="IDS_FULL_SCREEN">
        <source>Full screen</source>
        <translation>全画面表示</translation>
    </message>
    <message id="IDS_LATITUDE">
        <source>Latitude</source>
        <translation>緯度</translation>
    </message>
    <message id="IDS_LOGIN">
        <source>Log In</source>
        <translation>ログイン</translation>
    </message>
    <message id="IDS_LONGITUDE">
        <source>Longitude</source>
        <translation>経度</translation>
    </message>
    <message id="IDS_NEXT_VIDEO">
        <source>Next video</source>
        <translation>次の動画</translation>
    </message>
    <message id="IDS_NORMAL">
        <source>Normal</source>
        <translation>常時</translation>
    </message>
    <message id="IDS_NORMAL_SCREEN">
        <source>Exit full screen</source>
        <translation>通常表示に戻す</translation>
    </message>
    <message id="IDS_OK">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="IDS_OPEN">
        <source>Open a folder</source>
        <translation>フォルダーを開く</translation>
    </message>
    <message id="IDS_PARKING">
        <source>Parking</source>
        <translation>駐車</translation>
    </message>
    <message id="IDS_PAUSE">
        <source>Pause</source>
        <translation>一時停止</translation>
    </message>
    <message id="IDS_PLAY">
        <source>Play</source>
        <translation>再生</translation>
    </message>
    <message id="IDS_PLAY_SPEED">
        <source>Playback speed</source>
        <translation>再生速度</translation>
    </message>
    <message id="IDS_PRE_VIDEO">
        <source>Previous video</source>
        <translation>前の動画</translation>
    </message>
    <message id="IDS_PRINT">
        <source>Print</source>
        <translation>印刷</translation>
    </message>
    <message id="IDS_PRINT_DATE">
        <source>Printed on</source>
        <translation>印刷日</translation>
    </message>
    <message id="IDS_PRINT_PREVIEW">
        <source>Print Preview</source>
        <translation>印刷プレビュー</translation>
    </message>
    <message id="IDS_SAVE_AS">
        <source>Save As...</source>
        <translation>名前を付けて保存...</translation>
    </message>
    <message id="IDS_SETTINGS">
        <source>Settings</source>
        <translation>設定</translation>
    </message>
    <message id="IDS_SKIN_STYLE_01">
        <source>Style 1</source>
        <translation>スタイル 1</translation>
    </message>
    <message id="IDS_SKIN_STYLE_02">
        <source>Style 2</source>
        <translation>スタイル 2</translation>
    </message>
    <message id="IDS_SKIN_STYLE_03">
        <source>Style 3</source>
        <translation>スタイル 3</translation>
    </message>
    <message id="IDS_SKIN_STYLE_04">
        <source>Style 4</source>
        <translation>スタイル 4</translation>
    </message>
    <message id="IDS_SOUND_MUTE">
        <source>Mute</source>
        <translation>消音</translation>
    </message>
    <message id="IDS_SPEED">
        <source>Speed</source>
        <translation>速度</translation>
    </message>
    <message id="IDS_TITLE">
        <source>Title</source>
        <translation>タイトル</translation>
    </message>
    <message id="IDS_TITLE_SHORTENED">
        <source>The title is limited to %1 characters; the rest was left out.</source>
        <translation>タイトルは %1 文字までです。超えた部分は省かれました。</translation>
    </message>
    <message id="IDS_TOOLTIP_BACKUP">
        <source>Back up recordings to another folder</source>
        <translation>録画ファイルを別のフォルダーにバックアップ</translation>
    </message>
    <message id="IDS_TOOLTIP_PRINT">
        <source>Print the current frame with the map and data</source>
        <translation>現在の画面を地図とデータと一緒に印刷</translation>
    </message>
    <message id="IDS_UPLOAD">
        <source>Upload</source>
        <translation>アップロード</translation>
    </message>
    <message id="IDS_UPLOAD_FACEBOOK">
        <source>Upload to a social network</source>
        <translation>SNS にアップロード</translation>
    </message>
    <message id="IDS_UPLOAD_VIDEO_FAILED">
        <source>The video upload failed.</source>
        <translation>動画のアップロードに失敗しました。</translation>
    </message>
    <message id="IDS_UPLOAD_VIDEO_OK">
        <source>The videos were uploaded.</source>
        <translation>動画のアップロードが完了しました。</translation>
    </message>
    <message id="IDS_UPLOAD_YOUTUBE">
        <source>Video sharing site</source>
        <translation>動画共有サイト</translation>
    </message>
    <message id="IDS_VERSION_COPYRIGHT">
        <source>Rovix Manager Version %1
Copyright © %2 Rovix. All rights reserved.</source>
        <translation>Rovix Manager バージョン %1
Copyright © %2 Rovix. All rights reserved.</translation>
    </message>
    <message id="IDS_VIDEO_FILES">
        <source>Video files</source>
        <translation>動画ファイル</translation>
    </message>
    <message id="IDS_WEEK_1">
        <source>Sun</source>
        <translation>日</translation>
    </message>
    <message id="IDS_WEEK_2">
        <source>Mon</source>
        <translation>月</translation>
    </message>
    <message id="IDS_WEEK_3">
        <source>Tue</source>
        <translation>火</translation>
    </message>
    <message id="IDS_WEEK_4">
        <source>Wed</source>
        <translation>水</translation>
    </message>
    <message id="IDS_WEEK_5">
        <source>Thu</source>
        <translation>木</translation>
    </message>
    <message id="IDS_WEEK_6">
        <source>Fri</source>
        <translation>金</translation>
    </message>
    <message id="IDS_WEEK_7">
        <source>Sat</source>
        <translation>土</translation>
    </message>
    <message id="IDS_WINDOW_SWITCH">
        <source>Swap cameras: show the other camera in the large picture</source>
        <translation>カメラ切替：もう一方のカメラを大きい画面に表示</translation>
    </message>
    <message id="IDS_MAP_TILES_OFFLINE">
        <source>Map tiles unavailable offline: the route and position are still drawn</source>
        <translation>オフラインのため地図タイルを表示できません。ルートと現在位置は表示されます</translation>
    </message>
    <message id="IDS_OFFER_PLACE_BY_NAME_TIME">
        <source>Most recordings in this folder carry a recording time in their names that is more than a day away from their file dates, as when a card is copied without its dates. Place them on the calendar by the times in their names?</source>
        <translation>このフォルダーのほとんどの録画は、ファイル名の録画時刻とファイルの日付が1日以上離れています（日付を保たずにコピーされたカードなど）。ファイル名の時刻でカレンダーに配置しますか？</translation>
    </message>
    <message id="IDS_PLACE_BY_NAMES">
        <source>Place by names</source>
        <translation>ファイル名の時刻で配置</translation>
    </message>
    <message id="IDS_KEEP_FILE_DATES">
        <source>Keep file dates</source>
        <translation>ファイルの日付のまま</translation>
    </message>
    <message id="IDS_ATTACH_TRACK">
        <source>Attach a track...</source>
        <translation>トラックを添付...</translation>
    </message>
    <message id="IDS_REMOVE_TRACK">
        <source>Remove the attached track</source>
        <translation>添付したトラックを外す</translation>
    </message>
    <message id="IDS_CORRECT_CAMERA_CLOCK">
        <source>Correct the camera clock</source>
        <translation>カメラの時計を補正</translation>
    </message>
    <message id="IDS_CAMERA_CLOCK_MEASURING">
        <source>Comparing the camera clock with the GPS time in the recordings...</source>
        <translation>カメラの時計を録画のGPS時刻と比べています...</translation>
    </message>
    <message id="IDS_CAMERA_CLOCK_NO_GPS_TIME">
        <source>No recording on this card carries GPS time: the camera clock cannot be checked.</source>
        <translation>このカードにはGPS時刻を持つ録画がないため、カメラの時計を確かめられません。</translation>
    </message>
    <message id="IDS_ATTACH_TRACK_TITLE">
        <source>Attach a track</source>
        <translation>トラックを添付</translation>
    </message>
    <message id="IDS_ATTACH_TRACK_FILTER">
        <source>Tracks (*.gpx *.kml *.nmea *.nma *.log *.txt *.csv);;All files (*)</source>
        <translation>トラック (*.gpx *.kml *.nmea *.nma *.log *.txt *.csv);;すべてのファイル (*)</translation>
    </message>
    <message id="IDS_ATTACH_THIS_RECORDING">
        <source>This recording</source>
        <translation>この録画</translation>
    </message>
    <message id="IDS_ATTACH_WHOLE_TRIP">
        <source>Its whole trip</source>
        <translation>この走行全体</translation>
    </message>
    <message id="IDS_ATTACH_OFFSET">
        <source>Offset: the track's clock against the camera's (a phone 5 s ahead takes +5)</source>
        <translation>オフセット: カメラの時計に対するトラックの時計 (5秒進んだスマートフォンは +5)</translation>
    </message>
    <message id="IDS_ATTACH_OFFSET_VALUE">
        <source>Offset %1</source>
        <translation>オフセット %1</translation>
    </message>
    <message id="IDS_ATTACH_COVERS">
        <source>The track gives positions for %1 of the recording's %2 seconds</source>
        <translation>トラックは録画の %2 秒のうち %1 秒の位置を示します</translation>
    </message>
    <message id="IDS_ATTACH_NOT_COVERED">
        <source>No position at this offset: %1</source>
        <translation>このオフセットでは位置がありません: %1</translation>
    </message>
    <message id="IDS_ATTACH_NO_RECORDING">
        <source>Open a recording first, then attach its track.</source>
        <translation>先に録画を開いてから、トラックを添付してください。</translation>
    </message>
    <message id="IDS_ERR_TRACK_FILE">
        <source>%1 cannot be attached: %2</source>
        <translation>%1 は添付できません: %2</translation>
    </message>
    <message id="IDS_ERR_TRACK_STORE">
        <source>The attached track cannot be stored: %1</source>
        <translation>添付したトラックを保存できません: %1</translation>
    </message>
    <message id="IDS_ARCHIVE_VEHICLE">
        <source>Vehicle</source>
        <translation>車両</translation>
    </message>
    <message id="IDS_ARCHIVE_UNREADABLE">
        <source>The archive's catalogue cannot be read: %1
The folder is opened as a card.</source>
        <translation>アーカイブのカタログを読み込めません: %1
フォルダーをカードとして開きます。</translation>
    </message>
    <message id="IDS_ARCHIVE_NONE">
        <source>No fleet archive is open.</source>
        <translation>フリートアーカイブが開かれていません。</translation>
    </message>
    <message id="IDS_ARCHIVE_FIND_FAILED">
        <source>The search failed: %1</source>
        <translation>検索できませんでした: %1</translation>
    </message>
    <message id="IDS_ARCHIVE_FIND_PASSES">
        <source>Find passes near here...</source>
        <translation>この付近の通過を検索...</translation>
    </message>
    <message id="IDS_ARCHIVE_NOT_IN_LIBRARY">
        <source>This recording is no longer in the vehicle's folder.</source>
        <translation>この録画は車両のフォルダーにありません。</translation>
    </message>
    <message id="IDS_ARCHIVE_NOT_IN_LIST">
        <source>This recording's type is switched off in the file list. Switch it on to play the recording.</source>
        <translation>この録画の種類はファイル一覧で非表示になっています。再生するには表示に切り替えてください。</translation>
    </message>
    <message id="IDS_PASSES_TITLE">
        <source>Find passes</source>
        <translation>通過の検索</translation>
    </message>
    <message id="IDS_PASSES_PLACE">
        <source>Place</source>
        <translation>地点</translation>
    </message>
    <message id="IDS_PASSES_RADIUS">
        <source>Radius</source>
        <translation>半径</translation>
    </message>
    <message id="IDS_PASSES_FROM">
        <source>From</source>
        <translation>開始</translation>
    </message>
    <message id="IDS_PASSES_TO">
        <source>To</source>
        <translation>終了</translation>
    </message>
    <message id="IDS_PASSES_VEHICLE">
        <source>Vehicle</source>
        <translation>車両</translation>
    </message>
    <message id="IDS_PASSES_RECORDING">
        <source>Recording</source>
        <translation>録画</translation>
    </message>
    <message id="IDS_PASSES_SECOND">
        <source>Second</source>
        <translation>秒</translation>
    </message>
    <message id="IDS_PASSES_TIME">
        <source>Time</source>
        <translation>時刻</translation>
    </message>
    <message id="IDS_PASSES_DISTANCE">
        <source>Distance</source>
        <translation>距離</translation>
    </message>
    <message id="IDS_PASSES_FIND">
        <source>Find</source>
        <translation>検索</translation>
    </message>
    <message id="IDS_PASSES_SEARCHING">
        <source>Searching...</source>
        <translation>検索中...</translation>
    </message>
    <message id="IDS_PASSES_NONE">
        <source>No recording passed within the radius.</source>
        <translation>半径内を通過した録画はありません。</translation>
    </message>
    <message id="IDS_PASSES_FOUND">
        <source>%1 passes. Click one to play it.</source>
        <translation>通過 %1 件。クリックすると再生します。</translation>
    </message>
    <message id="IDS_PASSES_BAD_PERIOD">
        <source>The period ends before it begins.</source>
        <translation>終了が開始より前になっています。</translation>
    </message>
</context>
</TS>
